#include "text/MECSUtils.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/CodePage.h"
#include "text/CodePageTables.h"

namespace norvalis::MECSUtils {

namespace {

constexpr char16_t Replacement = u'\uFFFD';
using CodePageTables::IsEucByte;
using CodePageTables::IsSjisTrail;
using CodePageTables::Unmapped;

// Decoding runs in blocks into a small buffer appended to the reserved result, so the result
// is allocated once and never zero-filled. No code page here yields more code units than it
// consumes bytes, so a block never overruns the buffer.
constexpr std::size_t BlockBytes = 8192;
constexpr std::size_t BlockUnits = BlockBytes + 8;

// The corrections that a code page's decoding takes, applied to each block while it is hot.
void fixBlock(char16_t* begin, char16_t* end, MappingFix fix);

// step(p, n, end, i, d) decodes at p[i] (i < end <= n), advances i and writes through d;
// a sequence may run past end, a run of single bytes must not.
template <class Step>
void appendInBlocks(std::string_view bytes, MappingFix fix, UnicodeString& out, Step step) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  // One buffer per thread: a cell is decoded on its own, thousands of times a second. A plain
  // array, as mingw's emulated TLS frees storage before a destructor would run.
  thread_local char16_t buffer[BlockUnits];
  std::size_t i = 0;
  while (i < n) {
    const std::size_t blockEnd = std::min(n, i + BlockBytes);
    char16_t* d = buffer;
    while (i < blockEnd)
      step(p, n, blockEnd, i, d);
    fixBlock(buffer, d, fix);
    out.append(buffer, static_cast<std::size_t>(d - buffer));
  }
}

// Copies a run of ASCII bytes; returns with i at the first non-ASCII byte or where too few
// bytes are left before end for a whole step. Writes up to 16 units past the run (they lie
// within the bytes consumed so far plus the 16 read, so within the block buffer).
inline void copyAsciiRun(const unsigned char* p, std::size_t end, std::size_t& i, char16_t*& d) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= end) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(bytes, zero));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    if (high != 0) {
      // The lanes from the first non-ASCII byte on are scratch, rewritten by the next step.
      const auto count = static_cast<std::size_t>(__builtin_ctz(high));
      i += count;
      d += count;
      return;
    }
    i += 16;
    d += 16;
  }
#endif
  while (i + 8 <= end) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    if ((word & 0x8080808080808080ULL) != 0) return;
    for (int k = 0; k < 8; ++k)
      d[k] = p[i + k];
    d += 8;
    i += 8;
  }
}

// Copies ASCII bytes up to the first non-ASCII byte or end.
inline void copyAscii(const unsigned char* p, std::size_t end, std::size_t& i, char16_t*& d) {
  copyAsciiRun(p, end, i, d);
  while (i < end && p[i] < 0x80)
    *d++ = p[i++];
}

void appendCp932(std::string_view bytes, MappingFix fix, UnicodeString& out) {
  const CodePageTables::Cp932& t = CodePageTables::ShiftJis();
  appendInBlocks(
      bytes, fix, out,
      [&t](const unsigned char* p, std::size_t n, std::size_t end, std::size_t& i, char16_t*& d) {
        const unsigned b = p[i];
        if (b < 0x80) {
          copyAscii(p, end, i, d);
          return;
        }
        if (!t.lead[b]) {
          *d++ = t.single[b];
          ++i;
          return;
        }
        if (i + 1 < n && IsSjisTrail(p[i + 1])) {
          const char16_t u = t.pair[b << 8 | p[i + 1]];
          *d++ = u == Unmapped ? Replacement : u;
          i += 2;
          return;
        }
        // A lead without a trail: the next byte, if any, is decoded on its own.
        *d++ = Replacement;
        ++i;
      });
}

void appendEucJp(std::string_view bytes, MappingFix fix, UnicodeString& out) {
  const CodePageTables::EucJp& t = CodePageTables::EucJpMs();
  appendInBlocks(
      bytes, fix, out,
      [&t](const unsigned char* p, std::size_t n, std::size_t end, std::size_t& i, char16_t*& d) {
        const unsigned b = p[i];
        if (b < 0x80) {
          copyAscii(p, end, i, d);
          return;
        }
        const bool second = i + 1 < n && IsEucByte(p[i + 1]);
        if (IsEucByte(b) || b == 0x8E) {
          if (!second) {
            *d++ = Replacement;
            ++i;
            return;
          }
          const char16_t u =
              b == 0x8E ? t.kana[p[i + 1] - 0xA1] : t.pair[(b - 0xA1) * 94 + (p[i + 1] - 0xA1)];
          *d++ = u == Unmapped ? Replacement : u;
          i += 2;
          return;
        }
        if (b == 0x8F) {
          if (!second) {
            *d++ = Replacement;
            ++i;
            return;
          }
          if (i + 2 >= n || !IsEucByte(p[i + 2])) {
            // The valid start 8F xx counts as one bad sequence; the byte after it is decoded anew.
            *d++ = Replacement;
            i += 2;
            return;
          }
          const char16_t u = t.triple[(p[i + 1] - 0xA1) * 94 + (p[i + 2] - 0xA1)];
          *d++ = u == Unmapped ? Replacement : u;
          i += 3;
          return;
        }
        const char16_t u = t.single[b];
        *d++ = u == Unmapped ? Replacement : u;
        ++i;
      });
}

// ISO-2022-JP as Windows reads it: JIS X 0208 with the CP932 extensions, looked up in the
// EUC-JP-MS table (JIS bytes + 0x80), and half-width katakana after ESC ( I.
void appendIso2022Jp(std::string_view bytes, MappingFix fix, UnicodeString& out) {
  const CodePageTables::EucJp& t = CodePageTables::EucJpMs();
  enum class Mode { Ascii, Kana, Kanji, Supplement };
  Mode mode = Mode::Ascii;
  appendInBlocks(bytes, fix, out,
                 [&t, &mode](const unsigned char* p, std::size_t n, std::size_t /*end*/,
                             std::size_t& i, char16_t*& d) {
                   const unsigned b = p[i];
                   if (b == 0x1B) {
                     auto at = [&](std::size_t k, unsigned char c) {
                       return i + k < n && p[i + k] == c;
                     };
                     if (at(1, '(') && (at(2, 'B') || at(2, 'J'))) {
                       mode = Mode::Ascii;
                       i += 3;
                     } else if (at(1, '(') && at(2, 'I')) {
                       mode = Mode::Kana;
                       i += 3;
                     } else if (at(1, '$') && (at(2, '@') || at(2, 'B'))) {
                       mode = Mode::Kanji;
                       i += 3;
                     } else if (at(1, '$') && at(2, '(') && at(3, 'D')) {
                       mode = Mode::Supplement;
                       i += 4;
                     } else if (at(1, '&') && at(2, '@')) {
                       // Announces JIS X 0208-1990; the ESC $ B that follows switches.
                       i += 3;
                     } else {
                       *d++ = Replacement;
                       ++i;
                     }
                     return;
                   }
                   if (b >= 0x80) {
                     *d++ = Replacement;
                     ++i;
                     return;
                   }
                   // Controls and the space stand for themselves in every mode.
                   if (b <= 0x20 || b == 0x7F || mode == Mode::Ascii) {
                     *d++ = static_cast<char16_t>(b);
                     ++i;
                     return;
                   }
                   if (mode == Mode::Kana) {
                     *d++ = b <= 0x5F ? static_cast<char16_t>(0xFF61 + (b - 0x21)) : Replacement;
                     ++i;
                     return;
                   }
                   const unsigned next = i + 1 < n ? p[i + 1] : 0;
                   if (next < 0x21 || next > 0x7E) {
                     *d++ = Replacement;
                     ++i;
                     return;
                   }
                   const std::size_t index = (b - 0x21) * 94 + (next - 0x21);
                   const char16_t u = mode == Mode::Kanji ? t.pair[index] : t.triple[index];
                   *d++ = u == Unmapped ? Replacement : u;
                   i += 2;
                 });
}

// One UTF-8 sequence at p[i] (a lead byte or a stray byte), with the replacement rules of
// the Unicode standard: each maximal ill-formed subpart becomes one U+FFFD (overlong forms,
// surrogates and values above U+10FFFF are ill-formed).
void decodeUtf8Sequence(const unsigned char* p, std::size_t n, std::size_t& i, char16_t*& d) {
  const unsigned b = p[i];
  int length;
  unsigned low = 0x80;
  unsigned high = 0xBF;
  char32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, cp = b & 0x0F;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, cp = b & 0x07;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    *d++ = Replacement;
    ++i;
    return;
  }
  std::size_t k = 1;
  for (; k < static_cast<std::size_t>(length); ++k) {
    if (i + k >= n) break;
    const unsigned c = p[i + k];
    if (c < low || c > high) break;
    low = 0x80;
    high = 0xBF;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (k < static_cast<std::size_t>(length)) {
    *d++ = Replacement;
    i += k;
    return;
  }
  PutUtf16(cp, d);
  i += k;
}

void appendUtf8(std::string_view bytes, MappingFix fix, UnicodeString& out) {
  appendInBlocks(
      bytes, fix, out,
      [](const unsigned char* p, std::size_t n, std::size_t end, std::size_t& i, char16_t*& d) {
        while (i < end) {
          const unsigned b = p[i];
          if (b < 0x80) {
            copyAscii(p, end, i, d);
            continue;
          }
          // Well-formed two- and three-byte sequences (all of Japanese) take the
          // short way: load, then check the whole sequence at once.
          if (i + 2 < n) {
            const unsigned c1 = p[i + 1];
            if ((b & 0xF0) == 0xE0) {
              const unsigned c2 = p[i + 2];
              const unsigned cp = (b & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F);
              if (((c1 ^ 0x80) | (c2 ^ 0x80)) < 0x40 && cp >= 0x800 && (cp & 0xF800) != 0xD800) {
                *d++ = static_cast<char16_t>(cp);
                i += 3;
                continue;
              }
            } else if ((b & 0xE0) == 0xC0 && b >= 0xC2 && (c1 ^ 0x80) < 0x40) {
              *d++ = static_cast<char16_t>((b & 0x1F) << 6 | (c1 & 0x3F));
              i += 2;
              continue;
            }
          }
          decodeUtf8Sequence(p, n, i, d);
        }
      });
}

void appendUtf32(std::string_view bytes, bool bigEndian, MappingFix fix, UnicodeString& out) {
  appendInBlocks(bytes, fix, out,
                 [bigEndian](const unsigned char* p, std::size_t n, std::size_t /*end*/,
                             std::size_t& i, char16_t*& d) {
                   if (n - i < 4) {
                     // A cut-off unit at the end.
                     *d++ = Replacement;
                     i = n;
                     return;
                   }
                   const char32_t cp = bigEndian
                                           ? char32_t{p[i]} << 24 | char32_t{p[i + 1]} << 16 |
                                                 char32_t{p[i + 2]} << 8 | p[i + 3]
                                           : char32_t{p[i + 3]} << 24 | char32_t{p[i + 2]} << 16 |
                                                 char32_t{p[i + 1]} << 8 | p[i];
                   i += 4;
                   if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                     *d++ = Replacement;
                   } else {
                     PutUtf16(cp, d);
                   }
                 });
}

// The value of a modified-base64 digit of UTF-7, or -1.
int utf7Digit(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return b - 'A';
  if (b >= 'a' && b <= 'z') return b - 'a' + 26;
  if (b >= '0' && b <= '9') return b - '0' + 52;
  if (b == '+') return 62;
  if (b == '/') return 63;
  return -1;
}

// UTF-7 (RFC 2152): ASCII stands for itself; "+" opens a run of base64 digits carrying
// UTF-16 code units, closed by "-" (absorbed) or by any other byte; "+-" is a plus sign.
// Bytes above 0x7F have no meaning in UTF-7 and become U+FFFD. Rare enough to go unit by unit.
void appendUtf7(std::string_view bytes, UnicodeString& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  out.reserve(out.size() + n);
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i++];
    if (b >= 0x80) {
      out += Replacement;
      continue;
    }
    if (b != '+') {
      out += static_cast<char16_t>(b);
      continue;
    }
    if (i < n && p[i] == '-') {
      out += u'+';
      ++i;
      continue;
    }
    std::uint32_t bits = 0;
    int count = 0;
    while (i < n) {
      const int digit = utf7Digit(p[i]);
      if (digit < 0) break;
      bits = (bits << 6 | static_cast<std::uint32_t>(digit)) & 0x3FFFFF;
      count += 6;
      if (count >= 16) {
        count -= 16;
        out += static_cast<char16_t>(bits >> count);
      }
      ++i;
    }
    if (i < n && p[i] == '-') ++i;
  }
}

using FixPair = std::pair<char16_t, char16_t>;

constexpr FixPair Cp932Fixes[] = {
    {u'\u2015', u'\u2014'},
    {u'\uFFE3', u'\u203E'},
};

constexpr FixPair JisX0208Fixes[] = {
    {u'\u00A2', u'\uFFE0'}, {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'}, {u'\u2015', u'\u2014'},
    {u'\u2016', u'\u2225'}, {u'\u2212', u'\uFF0D'}, {u'\u301C', u'\uFF5E'}, {u'\uFFE3', u'\u203E'},
};

inline void fixUnit(char16_t& c, const FixPair* table, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    if (c == table[k].first) {
      c = table[k].second;
      return;
    }
  }
}

template <std::size_t N>
void applyTable(char16_t* begin, char16_t* end, const FixPair (&table)[N]) {
  char16_t* c = begin;
#if defined(__SSE2__)
  // Eight units at a time; only a group that holds a unit to correct is looked at singly.
  __m128i sources[N];
  for (std::size_t k = 0; k < N; ++k)
    sources[k] = _mm_set1_epi16(static_cast<short>(table[k].first));
  for (; end - c >= 8; c += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    __m128i hit = _mm_cmpeq_epi16(units, sources[0]);
    for (std::size_t k = 1; k < N; ++k)
      hit = _mm_or_si128(hit, _mm_cmpeq_epi16(units, sources[k]));
    if (_mm_movemask_epi8(hit) == 0) continue;
    for (int j = 0; j < 8; ++j)
      fixUnit(c[j], table, N);
  }
#endif
  for (; c != end; ++c)
    fixUnit(*c, table, N);
}

void fixBlock(char16_t* begin, char16_t* end, MappingFix fix) {
  switch (fix) {
    case MappingFix::None:
      return;
    case MappingFix::CP932:
      applyTable(begin, end, Cp932Fixes);
      return;
    case MappingFix::JISX0208:
      applyTable(begin, end, JisX0208Fixes);
      return;
  }
}

}  // namespace

void AppendAnsiToUTF16(std::string_view bytes, std::uint16_t codePage, MappingFix fix,
                       UnicodeString& out) {
  if (bytes.empty()) return;
  switch (codePage) {
    case CodePage::ShiftJis:
      return appendCp932(bytes, fix, out);
    case CodePage::EucJp:
    case CodePage::EucJpAlt:
      return appendEucJp(bytes, fix, out);
    case CodePage::Iso2022Jp:
    case CodePage::Iso2022JpKana:
    case CodePage::Iso2022JpSo:
      return appendIso2022Jp(bytes, fix, out);
    case CodePage::Utf8:
      return appendUtf8(bytes, fix, out);
    case CodePage::Utf7:
      return appendUtf7(bytes, out);
    case CodePage::Utf32LE:
      return appendUtf32(bytes, false, fix, out);
    case CodePage::Utf32BE:
      return appendUtf32(bytes, true, fix, out);
    default:
      return;
  }
}

UnicodeString AnsiToUTF16(std::string_view bytes, std::uint16_t codePage) {
  UnicodeString out;
  if (bytes.empty()) return out;
  out.reserve(bytes.size());
  AppendAnsiToUTF16(bytes, codePage, MappingFix::None, out);
  return out;
}

std::optional<std::string> UTF16ToAnsi(std::u16string_view text, std::uint16_t codePage) {
  if (codePage != CodePage::ShiftJis) return std::nullopt;
  const auto& codes = CodePageTables::ShiftJisCodes();
  std::string out;
  out.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    const std::uint16_t code = codes[unit];
    if (code == CodePageTables::NoCode) return std::nullopt;
    if (code > 0xFF) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  }
  return out;
}

UnicodeString MecsMappingFix_CP932ToUnicode(UnicodeString text) {
  applyTable(text.data(), text.data() + text.size(), Cp932Fixes);
  return text;
}

UnicodeString MecsMappingFix_JISX0208ToUnicode(UnicodeString text) {
  applyTable(text.data(), text.data() + text.size(), JisX0208Fixes);
  return text;
}

}  // namespace norvalis::MECSUtils
