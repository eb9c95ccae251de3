#include <algorithm>
#include <array>
#include <bit>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "csv/CsvIndex.h"
#include "csv/CsvUnits.h"
#include "text/StringUtility.h"

// Locating the fields of a row and decoding one of them.
namespace norvalis::CsvIndex {

namespace {

using namespace CodeUnits;

// What a byte is to the dialect when fields are located.
enum ByteClass : std::uint8_t { Plain, QuoteByte, Delimiter, DroppedByte, MaybeDropped };

struct ByteClasses {
  std::array<std::uint8_t, 256> of{};
  explicit ByteClasses(unsigned maybeDropped) {
    for (unsigned b = 0; b < 0x80; ++b)
      of[b] = asciiDropped(b) ? DroppedByte : Plain;
    of[Quote] = QuoteByte;
    of[Comma] = Delimiter;
    of[Lf] = Delimiter;
    of[maybeDropped] = MaybeDropped;
  }
};

// forEachField for bytes: the same dialect, in tight loops over the bytes of each field.
template <class Emit>
void forEachByteField(const Source& source, Field row, Emit emit) {
  static const ByteClasses utf8(0xC2);
  static const ByteClasses others(0x80);
  const auto& cls = (source.codePage == CodePage::Utf8 ? utf8 : others).of;
  const auto* p = reinterpret_cast<const unsigned char*>(source.data);
  const std::uint64_t end = row.end;
  std::uint64_t i = row.begin;
  for (;;) {
    const std::uint64_t begin = i;
    // The first unit the dialect keeps decides whether the field is quoted.
    while (i < end) {
      const std::uint8_t c = cls[p[i]];
      if (c == DroppedByte) {
        ++i;
      } else if (c == MaybeDropped) {
        const unsigned dropped = droppedAt<Units::Bytes>(source, i, p[i]);
        if (dropped == 0) break;
        i += dropped;
      } else {
        break;
      }
    }
    if (i < end && p[i] == Quote) {
      bool inside = false;
      for (; i < end; ++i) {
        const std::uint8_t c = cls[p[i]];
        if (c == QuoteByte) {
          inside = !inside;
        } else if (c == Delimiter && !inside) {
          break;
        }
      }
    } else {
      while (i < end && cls[p[i]] != Delimiter)
        ++i;
    }
    if (i >= end) {
      emit(Field{begin, std::max(begin, end)});
      return;
    }
    if (!emit(Field{begin, i}) || p[i] == Lf) return;
    ++i;
  }
}

#if defined(__SSE2__)
// Bit k of each mask: byte k of a block of 64 is a quotation mark, or a delimiter (comma, LF).
struct FieldMasks {
  std::uint64_t quote = 0, delimiter = 0;
};

inline FieldMasks fieldMasks(const unsigned char* p) {
  FieldMasks m;
  const __m128i quote = _mm_set1_epi8(Quote);
  const __m128i comma = _mm_set1_epi8(Comma);
  const __m128i lf = _mm_set1_epi8(Lf);
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const auto bits = [&](__m128i hit) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
    };
    m.quote |= bits(_mm_cmpeq_epi8(v, quote));
    m.delimiter |= bits(_mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, lf)));
  }
  return m;
}

// Bit k: an odd number of the bits 0..k of x are set.
inline std::uint64_t prefixXor(std::uint64_t x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  x ^= x << 32;
  return x;
}

// LocateField for bytes by masks of 64 bytes at a time: the same dialect as forEachByteField,
// for rows whose fields all start on a byte the dialect cannot drop (else false, and the exact
// path decides). Blocks are read only where the content has 64 bytes left.
inline bool locateByteFieldByMasks(const Source& source, Field row, std::uint32_t col,
                                   const ByteClasses& classes, Field& found) {
  const auto* p = reinterpret_cast<const unsigned char*>(source.data);
  std::uint32_t at = 0;             // the field being walked
  std::uint64_t begin = row.begin;  // where it starts
  bool open = false;                // the field began in an earlier block
  bool quoted = false;
  bool inside = false;  // for a quoted field: an odd number of its quotes so far
  for (std::uint64_t base = row.begin; base < row.end; base += 64) {
    if (source.units - base < 64) return false;
    const FieldMasks m = fieldMasks(p + base);
    const std::uint64_t parity = prefixXor(m.quote);
    const auto limit = static_cast<unsigned>(std::min<std::uint64_t>(64, row.end - base));
    const std::uint64_t inRow = limit == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << limit) - 1;
    const std::uint64_t delimiters = m.delimiter & inRow;
    unsigned s = 0;  // where the walk is in this block
    for (;;) {
      std::uint64_t ends = delimiters & (~std::uint64_t{0} << s);
      if (!open) {
        if (s >= limit) break;
        const std::uint8_t c = classes.of[p[base + s]];
        if (c == DroppedByte || c == MaybeDropped) return false;
        begin = base + s;
        quoted = c == QuoteByte;
        inside = false;
        open = true;
        // The quotes of the field from its start: the parity relative to the byte before it.
        if (quoted) {
          const std::uint64_t before =
              s == 0 ? 0 : ((parity >> (s - 1)) & 1 ? ~std::uint64_t{0} : 0);
          ends &= ~(parity ^ before);
          inside = (((parity ^ before) >> 63) & 1) != 0;
        }
      } else if (quoted) {
        const std::uint64_t relative = inside ? ~parity : parity;
        ends &= ~relative;
        inside = ((relative >> 63) & 1) != 0;
      }
      if (ends == 0) break;  // the field goes on into the next block (or ends with the row)
      const auto e = static_cast<unsigned>(std::countr_zero(ends));
      open = false;
      if (at == col) {
        found = Field{begin, base + e};
        return true;
      }
      if (p[base + e] == Lf) {
        found = Field{row.end, row.end, false};
        return true;
      }
      ++at;
      s = e + 1;
      if (s >= 64) break;
    }
  }
  // The row ended inside a field, or just after a comma: one more, empty field.
  if (!open) begin = row.end;
  found = at == col ? Field{begin, std::max(begin, row.end)} : Field{row.end, row.end, false};
  return true;
}

// Where a count of a row's delimiters towards field col stands between blocks.
struct FieldCount {
  std::uint32_t at = 0;  // delimiters passed
  bool started = false;  // the field has begun, at start
  std::uint64_t start = 0;
};

// One block's share of the count: delimiters (outside quotes, of the row only) at base. True
// once field col is found, or found missing because the row's LF comes first. Popcount: skip a
// block of delimiters that all lie before the field at once.
template <bool Popcount>
[[gnu::always_inline]] inline bool countToField(const unsigned char* p, std::uint64_t base,
                                                std::uint64_t delimiters, std::uint32_t col,
                                                std::uint64_t rowEnd, FieldCount& count,
                                                Field& found) {
  std::uint64_t ends = delimiters;
  if (!count.started) {
    std::uint64_t d = delimiters;
    if constexpr (Popcount) {
      const auto n = static_cast<std::uint32_t>(std::popcount(d));
      if (count.at + n < col) {
        count.at += n;
        d = 0;
      }
    }
    while (d != 0 && count.at + 1 < col) {
      d &= d - 1;
      ++count.at;
    }
    if (d == 0) return false;
    const auto e = static_cast<unsigned>(std::countr_zero(d));
    if (p[base + e] == Lf) {
      found = Field{rowEnd, rowEnd, false};
      return true;
    }
    count.started = true;
    count.start = base + e + 1;
    ends = e == 63 ? 0 : delimiters & (~std::uint64_t{0} << (e + 1));
  }
  if (ends == 0) return false;
  found = Field{count.start, base + static_cast<unsigned>(std::countr_zero(ends))};
  return true;
}

// LocateField for bytes by counting delimiters outside quotes, 64 bytes at a time, with every
// quotation mark taken as toggling (prefix XOR). That is the dialect while every field that holds
// a quote begins with one; a quote that would open elsewhere (a quote in a bare field, a doubled
// quote, dropped bytes before an opening quote) gives false, and the field walk decides.
inline bool locateByteFieldByCommas(const Source& source, Field row, std::uint32_t col,
                                    Field& found) {
  const auto* p = reinterpret_cast<const unsigned char*>(source.data);
  bool inside = false;  // the parity of the quotes so far
  bool atStart = true;  // the next byte begins a field
  FieldCount count{0, col == 0, row.begin};
  for (std::uint64_t base = row.begin; base < row.end; base += 64) {
    if (source.units - base < 64) return false;
    const FieldMasks m = fieldMasks(p + base);
    const auto limit = static_cast<unsigned>(std::min<std::uint64_t>(64, row.end - base));
    const std::uint64_t inRow = limit == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << limit) - 1;
    const std::uint64_t quotes = m.quote & inRow;
    const std::uint64_t in = prefixXor(quotes) ^ (inside ? ~std::uint64_t{0} : 0);
    const std::uint64_t delimiters = m.delimiter & inRow & ~in;
    const std::uint64_t starts = (delimiters << 1) | (atStart ? 1 : 0);
    if ((quotes & in & ~starts) != 0) return false;
    // No popcount here: plain x86-64 has none, and this path serves it.
    if (countToField<false>(p, base, delimiters, col, row.end, count, found)) return true;
    inside = (in >> 63) != 0;
    atStart = (delimiters >> 63) != 0;
  }
  // The row ended inside its last field, or just after a comma: one more, empty field.
  if (inside) return false;
  found = count.started ? Field{count.start, std::max(count.start, row.end)}
                        : Field{row.end, row.end, false};
  return true;
}

// Field col of the rows [row, end) by the same counting as locateByteFieldByCommas, walking
// their bytes in blocks of 64 aligned to the content: a block's masks are found once for every
// row in it, where locating row by row reads one or two blocks a row. A row the counting cannot
// settle takes the per-row path. Returns the first row not done: the blocks stop where the
// content has less than 64 bytes left.
template <bool Popcount, class Masks>
inline std::uint32_t walkColumn(const Source& source, const Index& index, std::uint32_t col,
                                std::uint32_t row, std::uint32_t end, std::string_view* out,
                                Masks masks) {
  const auto* p = reinterpret_cast<const unsigned char*>(source.data);
  constexpr std::uint64_t All = ~std::uint64_t{0};
  std::uint64_t cached = All;  // the block whose masks these are
  FieldMasks m;
  std::uint64_t parity = 0;
  for (; row < end; ++row, ++out) {
    const Field units = RowUnits(source, index, row);
    FieldCount count{0, col == 0, units.begin};
    bool inside = false;
    bool atStart = true;
    bool exact = false;
    bool settled = false;
    Field found;
    for (std::uint64_t base = units.begin & ~std::uint64_t{63}; base < units.end; base += 64) {
      if (source.units - base < 64) return row;
      if (base != cached) {
        m = masks(p + base);
        parity = masks.PrefixXor(m.quote);
        cached = base;
      }
      const auto lo = static_cast<unsigned>(units.begin > base ? units.begin - base : 0);
      const auto hi = static_cast<unsigned>(std::min<std::uint64_t>(64, units.end - base));
      const std::uint64_t inRow = (hi == 64 ? All : (std::uint64_t{1} << hi) - 1) & (All << lo);
      // The quotes' parity from the row's start (or from the block's, carried on).
      const std::uint64_t before = lo > 0 && ((parity >> (lo - 1)) & 1) != 0 ? All : 0;
      const std::uint64_t in = parity ^ before ^ (inside ? All : 0);
      const std::uint64_t quotes = m.quote & inRow;
      const std::uint64_t delimiters = m.delimiter & inRow & ~in;
      const std::uint64_t starts = (delimiters << 1) | (atStart ? std::uint64_t{1} << lo : 0);
      if ((quotes & in & ~starts) != 0) {
        exact = true;
        break;
      }
      if (countToField<Popcount>(p, base, delimiters, col, units.end, count, found)) {
        settled = true;
        break;
      }
      inside = ((in >> (hi - 1)) & 1) != 0;
      atStart = ((delimiters >> 63) & 1) != 0;
    }
    if (!settled && !exact) {
      // The row ended inside its last field, or just after a comma: one more, empty field.
      if (inside) {
        exact = true;
      } else {
        found = count.started ? Field{count.start, std::max(count.start, units.end)}
                              : Field{units.end, units.end, false};
      }
    }
    *out = RawUnits(source, exact ? LocateField(source, units, col) : found);
  }
  return row;
}

std::uint32_t walkColumnSse2(const Source& source, const Index& index, std::uint32_t col,
                             std::uint32_t row, std::uint32_t end, std::string_view* out) {
  struct Masks {
    FieldMasks operator()(const unsigned char* p) const { return fieldMasks(p); }
    std::uint64_t PrefixXor(std::uint64_t x) const { return prefixXor(x); }
  };
  return walkColumn<false>(source, index, col, row, end, out, Masks{});
}

#if defined(__x86_64__)
// The masks by AVX2, for the walk's copy that is built for it.
struct FieldMasksAvx2 {
  __attribute__((target("avx2"))) FieldMasks operator()(const unsigned char* p) const {
    const __m256i quote = _mm256_set1_epi8(Quote);
    const __m256i comma = _mm256_set1_epi8(Comma);
    const __m256i lf = _mm256_set1_epi8(Lf);
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto join = [](int l, int h) {
      return std::uint64_t{static_cast<unsigned>(l)} | std::uint64_t{static_cast<unsigned>(h)}
                                                           << 32;
    };
    FieldMasks m;
    m.quote = join(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, quote)),
                   _mm256_movemask_epi8(_mm256_cmpeq_epi8(high, quote)));
    m.delimiter = join(_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(low, comma),
                                                            _mm256_cmpeq_epi8(low, lf))),
                       _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(high, comma),
                                                            _mm256_cmpeq_epi8(high, lf))));
    return m;
  }
  // By a carry-less multiply with all ones: one instruction.
  __attribute__((target("pclmul,sse2"))) std::uint64_t PrefixXor(std::uint64_t x) const {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
  }
};

// The walk with the masks and the walk itself inlined, in the instruction set they are built for.
__attribute__((target("avx2,popcnt,bmi,pclmul"), flatten)) std::uint32_t walkColumnAvx2(
    const Source& source, const Index& index, std::uint32_t col, std::uint32_t row,
    std::uint32_t end, std::string_view* out) {
  return walkColumn<true>(source, index, col, row, end, out, FieldMasksAvx2{});
}
#endif

std::uint32_t walkColumnBytes(const Source& source, const Index& index, std::uint32_t col,
                              std::uint32_t row, std::uint32_t end, std::string_view* out) {
  using Walk = std::uint32_t (*)(const Source&, const Index&, std::uint32_t, std::uint32_t,
                                 std::uint32_t, std::string_view*);
  static const Walk walk = [] {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
        __builtin_cpu_supports("pclmul"))
      return walkColumnAvx2;
#endif
    return walkColumnSse2;
  }();
  return walk(source, index, col, row, end, out);
}
#endif

// Calls emit(field) for each field of the row, until it returns false.
template <Units K, class Emit>
void forEachField(const Source& source, Field row, Emit emit) {
  if constexpr (K == Units::Bytes) {
    forEachByteField(source, row, emit);
    return;
  }
  std::uint64_t begin = row.begin;
  bool atFieldStart = true;
  bool quoted = false;
  bool inside = false;
  for (std::uint64_t i = row.begin; i < row.end;) {
    const unsigned u = unitAt<K>(source.data, i);
    if (const unsigned dropped = droppedAt<K>(source, i, u)) {
      i += dropped;
      continue;
    }
    if (atFieldStart) {
      quoted = u == Quote;
      inside = false;
    }
    bool ends = false;
    if (!quoted) {
      ends = u == Lf || u == Comma;
      atFieldStart = false;
    } else {
      if (u == Quote) inside = !inside;
      if (inside) {
        atFieldStart = false;
      } else if (u == Comma || u == Lf) {
        ends = true;
      } else if (u != Quote) {
        atFieldStart = false;
      }
    }
    if (ends) {
      if (!emit(Field{begin, i}) || u == Lf) return;
      begin = i + 1;
      atFieldStart = true;
    }
    ++i;
  }
  emit(Field{begin, std::max(begin, row.end)});
}

std::size_t unitBytes(Units kind) {
  return kind == Units::Bytes ? 1 : 2;
}

bool isHighSurrogate(unsigned u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(unsigned u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

template <Units K>
void decodeUtf16Units(const Source& source, Field field, UnicodeString& out) {
  for (std::uint64_t i = field.begin; i < field.end; ++i) {
    const unsigned u = unitAt<K>(source.data, i);
    if (isHighSurrogate(u) && i + 1 < field.end && isLowSurrogate(unitAt<K>(source.data, i + 1))) {
      out += static_cast<char16_t>(u);
      out += static_cast<char16_t>(unitAt<K>(source.data, ++i));
    } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
      out += u'\uFFFD';
    } else {
      out += static_cast<char16_t>(u);
    }
  }
}

bool keptByDialect(char16_t unit) {
  if (unit == Cr) return false;
  if (unit > 0x80) return true;
  return unit == Tab || unit == Lf || (unit >= 0x20 && unit <= 0x7E);
}

// The dialect over decoded units, up to the LF that ends a row: the text of field col goes to
// *cell(col), and the cut stops where cell gives null. The cell that is over (the string units
// views, when given) is written in place: a cell's text is never longer than its units, so the
// writing stays behind the reading.
template <class Cell>
void cutUnits(std::u16string_view units, Cell cell, UnicodeString* over = nullptr) {
  std::size_t col = 0;
  std::size_t written = 0;
  UnicodeString* out = cell(col);
  bool atFieldStart = true;
  bool quoted = false;
  bool inside = false;
  for (const char16_t unit : units) {
    if (out == nullptr) break;
    if (!keptByDialect(unit)) continue;
    if (atFieldStart) {
      quoted = unit == Quote;
      inside = false;
    }
    if (quoted && unit == Quote) inside = !inside;
    if (!inside && (unit == Comma || unit == Lf)) {
      if (unit == Lf) break;
      out = cell(++col);
      atFieldStart = true;
      continue;
    }
    // The quote that opens a field, and one that closes its quotes, add nothing.
    if (!(quoted && unit == Quote && (atFieldStart || !inside))) {
      if (out == over)
        (*over)[written++] = unit;
      else
        *out += unit;
    }
    atFieldStart = false;
  }
  if (over != nullptr) over->resize(written);
}

// A field's decoded units to its cell text, in place: dropped units out, quotes resolved.
void cutField(UnicodeString& text) {
  // Most fields are unquoted and drop nothing: their units are their text.
  std::size_t start = 0;
  while (start < text.size() && !keptByDialect(text[start]))
    ++start;
  if (start < text.size() && text[start] != Quote) {
    std::size_t end = start;
    while (end < text.size() && keptByDialect(text[end]))
      ++end;
    if (end == text.size()) {
      text.erase(0, start);
      return;
    }
  }
  // A field holds no separator outside its quotes, or it would have ended there.
  cutUnits(
      text, [&text](std::size_t col) { return col == 0 ? &text : nullptr; }, &text);
}

}  // namespace

Field RowUnits(const Source& source, const Index& index, std::uint32_t row) {
  if (row >= index.rowCount) return {};
  const std::uint64_t end = row + 1 < index.rowCount ? index.rowStart[row + 1] : source.units;
  return Field{index.rowStart[row], end};
}

Field LocateField(const Source& source, Field row, std::uint32_t col) {
  Field found{row.end, row.end, false};
#if defined(__SSE2__)
  if (source.kind == Units::Bytes) {
    static const ByteClasses utf8(0xC2);
    static const ByteClasses others(0x80);
    const ByteClasses& classes = source.codePage == CodePage::Utf8 ? utf8 : others;
    if (locateByteFieldByCommas(source, row, col, found)) return found;
    if (locateByteFieldByMasks(source, row, col, classes, found)) return found;
  }
#endif
  std::uint32_t at = 0;
  withUnits(source.kind, [&]<Units K>() {
    forEachField<K>(source, row, [&](Field field) {
      if (at++ != col) return true;
      found = field;
      return false;
    });
  });
  return found;
}

void LocateFields(const Source& source, Field row, std::uint32_t width,
                  std::vector<Field>& fields) {
  fields.clear();
  if (width == 0) return;
  withUnits(source.kind, [&]<Units K>() {
    forEachField<K>(source, row, [&](Field field) {
      fields.push_back(field);
      return fields.size() < width;
    });
  });
}

std::string_view RawUnits(const Source& source, Field field) {
  if (!field.present) return {};
  const std::size_t size = unitBytes(source.kind);
  // The odd last byte of UTF-16 belongs to the last field, so equal raw fields stay equal text.
  const std::size_t odd = source.trailingReplacement && field.end == source.units ? 1 : 0;
  return std::string_view(source.data + field.begin * size, (field.end - field.begin) * size + odd);
}

std::string_view RawRow(const Source& source, const Index& index, std::uint32_t row) {
  return RawUnits(source, RowUnits(source, index, row));
}

std::string_view RawField(const Source& source, const Index& index, std::uint32_t row,
                          std::uint32_t col) {
  return RawUnits(source, LocateField(source, RowUnits(source, index, row), col));
}

void RawFields(const Source& source, const Index& index, std::uint32_t col, std::uint32_t first,
               std::uint32_t end, std::string_view* out) {
  std::uint32_t row = first;
#if defined(__SSE2__)
  if (source.kind == Units::Bytes) row = walkColumnBytes(source, index, col, row, end, out);
#endif
  for (; row < end; ++row)
    out[row - first] = RawField(source, index, row, col);
}

namespace {

// The decoded code units of [field.begin, field.end), into units (cleared first).
void decodeUnits(const Source& source, Field field, UnicodeString& units) {
  units.clear();
  const bool atEnd = source.trailingReplacement && field.end == source.units;
  switch (source.kind) {
    case Units::Bytes:
      TStringUtility::AppendConvertedPiece(RawUnits(source, field), source.codePage, false, units);
      break;
    case Units::Utf16LE:
      decodeUtf16Units<Units::Utf16LE>(source, field, units);
      break;
    case Units::Utf16BE:
      decodeUtf16Units<Units::Utf16BE>(source, field, units);
      break;
    case Units::Text: {
      const std::string_view raw = RawUnits(source, field);
      units.resize(raw.size() / 2);
      std::memcpy(units.data(), raw.data(), raw.size());
      break;
    }
  }
  if (atEnd) units += u'\uFFFD';
}

}  // namespace

void DecodeField(const Source& source, Field field, UnicodeString& out) {
  out.clear();
  if (!field.present) return;
  const bool atEnd = source.trailingReplacement && field.end == source.units;
  if (field.begin == field.end && !atEnd) return;
  // Decoded into out and cut there: a cell costs no allocation once out has room. (No
  // thread_local scratch: mingw's emulated TLS frees it before its destructor runs.)
  decodeUnits(source, field, out);
  cutField(out);
}

void DecodeRow(const Source& source, Field row, std::vector<UnicodeString>& cells) {
  for (UnicodeString& cell : cells)
    cell.clear();
  if (cells.empty()) return;
  // The whole row in one decoding, into the first cell, which is then cut in place: delimiters
  // stand for themselves and decoding starts afresh after each, so this is the fields'
  // decodings back to back.
  UnicodeString& units = cells.front();
  decodeUnits(source, row, units);
  cutUnits(
      units, [&cells](std::size_t col) { return col < cells.size() ? &cells[col] : nullptr; },
      &units);
}

}  // namespace norvalis::CsvIndex
