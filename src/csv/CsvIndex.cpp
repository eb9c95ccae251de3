#include "csv/CsvIndex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NORVALIS_X86 1
#endif

#include "text/CodePage.h"
#include "text/StringUtility.h"

namespace norvalis::CsvIndex {

namespace {

constexpr unsigned Tab = 0x09;
constexpr unsigned Lf = 0x0A;
constexpr unsigned Cr = 0x0D;
constexpr unsigned Quote = 0x22;
constexpr unsigned Comma = 0x2C;

// Units between two looks at the clock and the cancel flag.
constexpr std::uint64_t UnitsPerTick = std::uint64_t{1} << 20;

bool asciiDropped(unsigned u) {
  return u == Cr || (u < 0x20 && u != Tab && u != Lf) || u == 0x7F;
}

// Reads code unit i of the content.
template <Units K>
unsigned unitAt(const char* data, std::uint64_t i) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if constexpr (K == Units::Bytes) {
    return p[i];
  } else if constexpr (K == Units::Utf16LE) {
    return p[2 * i] | unsigned{p[2 * i + 1]} << 8;
  } else if constexpr (K == Units::Utf16BE) {
    return unsigned{p[2 * i]} << 8 | p[2 * i + 1];
  } else {
    char16_t u;
    std::memcpy(&u, data + 2 * i, sizeof u);
    return u;
  }
}

// How many units at i decode to code units the dialect drops (CR, controls, U+007F, U+0080);
// 0 when the unit at i yields one it keeps.
template <Units K>
unsigned droppedAt(const Source& s, std::uint64_t i, unsigned u) {
  if (u < 0x80) return asciiDropped(u) ? 1 : 0;
  if constexpr (K == Units::Bytes) {
    // U+0080: 0x80 alone in Shift_JIS and EUC-JP, C2 80 in UTF-8. Where 0x80 trails a
    // Shift_JIS lead byte, the lead has already made the field hold text.
    if (s.codePage == CodePage::Utf8) {
      return u == 0xC2 && i + 1 < s.units && unitAt<K>(s.data, i + 1) == 0x80 ? 2 : 0;
    }
    return u == 0x80 ? 1 : 0;
  } else {
    return u == 0x80 ? 1 : 0;
  }
}

// The pass's state between code units: the dialect's, plus what the index collects.
struct ScanState {
  std::uint64_t line = 0;
  std::uint64_t col = 0;
  std::int64_t lineLastCol = -1;  // the last field of this line that holds text
  bool atFieldStart = true;
  bool quoted = false;
  bool inside = false;
  bool closedLast = false;  // the last unit closed a quoted field's quotes
  bool keptLast = false;    // the last unit is kept as text (false when not known)
  std::int64_t lastRow = -1;
  std::uint64_t maxCols = 0;
  bool overLimit = false;
};

class Scanner {
 public:
  Scanner(const Source& source, const Limits& limits, Index& index)
      : source_(source), limits_(limits), index_(index) {}

  ScanState state;

  void EndLine(std::uint64_t lfPosition) {
    if (state.lineLastCol >= 0) {
      state.lastRow = static_cast<std::int64_t>(state.line);
      state.maxCols = std::max(state.maxCols, static_cast<std::uint64_t>(state.lineLastCol) + 1);
      if (static_cast<std::uint64_t>(state.lastRow) >= limits_.rows ||
          state.maxCols > limits_.cellsPerRow) {
        state.overLimit = true;
      }
    }
    ++state.line;
    state.col = 0;
    state.lineLastCol = -1;
    state.atFieldStart = true;
    if (!state.overLimit) index_.rowStart.push_back(lfPosition + 1);
  }

  // The dialect, one code unit at a time, exactly.
  // Returns where it stopped: end, or just past it when a dropped sequence ran over.
  template <Units K>
  std::uint64_t ScanUnits(std::uint64_t i, std::uint64_t end) {
    ScanState& s = state;
    while (i < end) {
      const unsigned u = unitAt<K>(source_.data, i);
      s.keptLast = false;
      if (const unsigned dropped = droppedAt<K>(source_, i, u)) {
        i += dropped;
        s.closedLast = false;
        continue;
      }
      if (s.atFieldStart) {
        s.quoted = u == Quote;
        s.inside = false;
      }
      s.closedLast = false;
      if (!s.quoted) {
        if (u == Lf) {
          EndLine(i);
        } else if (u == Comma) {
          ++s.col;
          s.atFieldStart = true;
        } else {
          s.lineLastCol = static_cast<std::int64_t>(s.col);
          s.atFieldStart = false;
        }
      } else {
        if (u == Quote) s.inside = !s.inside;
        if (s.inside) {
          if (!s.atFieldStart) s.lineLastCol = static_cast<std::int64_t>(s.col);
          s.atFieldStart = false;
        } else if (u == Comma) {
          ++s.col;
          s.atFieldStart = true;
        } else if (u == Lf) {
          EndLine(i);
        } else if (u != Quote) {
          s.lineLastCol = static_cast<std::int64_t>(s.col);
          s.atFieldStart = false;
        } else {
          s.closedLast = true;
        }
      }
      ++i;
    }
    return i;
  }

#if defined(NORVALIS_X86)
  // One block of 64 bytes by bit masks: quotes, commas, LFs and dropped bytes found at once,
  // the inside of quotes by a prefix XOR. Valid while every quotation mark toggles (every
  // field holding one began with one) and every byte that may decode to U+0080 (h) follows
  // text of its own field; false when the block needs the exact path.
  [[gnu::always_inline]] inline bool ScanBlock(std::uint64_t base, std::uint64_t q, std::uint64_t c,
                                               std::uint64_t l, std::uint64_t x, std::uint64_t h) {
    ScanState& s = state;
    std::uint64_t in = q;
    in ^= in << 1;
    in ^= in << 2;
    in ^= in << 4;
    in ^= in << 8;
    in ^= in << 16;
    in ^= in << 32;
    if (s.inside) in = ~in;
    const std::uint64_t before = (in << 1) | (s.inside ? 1 : 0);
    const std::uint64_t dout = (c | l) & ~in;
    const std::uint64_t starts = (dout << 1) | (s.atFieldStart ? 1 : 0);
    // A field starts at its first unit that is not dropped.
    const std::uint64_t startsOnDropped = starts & x;
    const std::uint64_t fieldStarts = (starts & ~x) | ((x + startsOnDropped) & ~x);
    const std::uint64_t closing = q & ~in;
    const std::uint64_t opening = q & in & ~before;
    const std::uint64_t allowed = fieldStarts | (closing << 1) | (s.closedLast ? 1 : 0);
    if ((opening & ~allowed) != 0) return false;

    const std::uint64_t kept = ~(q | c | l | x) | ((c | l) & in) | (q & in & ~fieldStarts);
    // Whatever such a byte decodes to, its field already holds text, so it changes nothing.
    if ((h & ~((kept << 1) | (s.keptLast ? 1 : 0))) != 0) return false;
    const std::uint64_t commas = c & ~in;
    std::uint64_t ends = l & ~in;
    unsigned from = 0;
    while (ends != 0) {
      const auto e = static_cast<unsigned>(std::countr_zero(ends));
      ends &= ends - 1;
      const std::uint64_t segment = ((std::uint64_t{1} << e) - 1) & (~std::uint64_t{0} << from);
      if (const std::uint64_t text = kept & segment) {
        const unsigned last = 63 - static_cast<unsigned>(std::countl_zero(text));
        const std::uint64_t toLast = segment & ((std::uint64_t{1} << last) - 1);
        s.lineLastCol = static_cast<std::int64_t>(s.col + std::popcount(commas & toLast));
      }
      EndLine(base + e);
      from = e + 1;
    }
    if (from < 64) {
      const std::uint64_t segment = ~std::uint64_t{0} << from;
      if (const std::uint64_t text = kept & segment) {
        const unsigned last = 63 - static_cast<unsigned>(std::countl_zero(text));
        const std::uint64_t toLast = segment & ((std::uint64_t{1} << last) - 1);
        s.lineLastCol = static_cast<std::int64_t>(s.col + std::popcount(commas & toLast));
      }
      s.col += static_cast<std::uint64_t>(std::popcount(commas & segment));
    }

    s.inside = (in >> 63) != 0;
    s.closedLast = (closing >> 63) != 0;
    s.keptLast = (kept >> 63) != 0;
    if (const std::uint64_t passing = ~x) {
      const unsigned last = 63 - static_cast<unsigned>(std::countl_zero(passing));
      s.atFieldStart = ((dout >> last) & 1) != 0;
    }
    if (!s.atFieldStart && fieldStarts != 0) {
      const unsigned start = 63 - static_cast<unsigned>(std::countl_zero(fieldStarts));
      s.quoted = ((q >> start) & 1) != 0;
    }
    return true;
  }
#endif

 private:
  const Source& source_;
  const Limits& limits_;
  Index& index_;
};

#if defined(NORVALIS_X86)
struct BlockMasks {
  std::uint64_t q = 0, c = 0, l = 0, x = 0, h = 0;
};

// Bytes 0x00-0x1F but TAB and LF, and 0x7F: the bytes the dialect drops.
inline __m128i droppedBytes(__m128i v) {
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
  const __m128i kept =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(Tab)), _mm_cmpeq_epi8(v, _mm_set1_epi8(Lf)));
  return _mm_or_si128(_mm_andnot_si128(kept, control), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
}

[[gnu::always_inline]] inline BlockMasks masksSse2(const unsigned char* p, char high) {
  BlockMasks m;
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    auto bits = [&](__m128i hit) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
    };
    m.q |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(Quote)));
    m.c |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(Comma)));
    m.l |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(Lf)));
    m.x |= bits(droppedBytes(v));
    m.h |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(high)));
  }
  return m;
}

[[gnu::always_inline]] inline __attribute__((target("avx2"))) BlockMasks masksAvx2(
    const unsigned char* p, char high) {
  BlockMasks m;
  for (int k = 0; k < 2; ++k) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
    const int shift = 32 * k;
#define NORVALIS_BITS(hit) \
  (static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(hit))) << shift)
    const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(0x1F)), v);
    const __m256i kept = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(Tab)),
                                         _mm256_cmpeq_epi8(v, _mm256_set1_epi8(Lf)));
    const __m256i dropped = _mm256_or_si256(_mm256_andnot_si256(kept, control),
                                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F)));
    m.q |= NORVALIS_BITS(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(Quote)));
    m.c |= NORVALIS_BITS(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(Comma)));
    m.l |= NORVALIS_BITS(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(Lf)));
    m.x |= NORVALIS_BITS(dropped);
    m.h |= NORVALIS_BITS(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(high)));
#undef NORVALIS_BITS
  }
  return m;
}

// Bytes from i on, block by block while a whole block is left before end; returns where it
// stopped. Blocks the masks cannot settle (a byte that may decode to U+0080 at the start of
// a field, a quotation mark inside an unquoted field) go through the exact path. One copy per
// instruction set, each with its masks and the block logic inlined.
#define NORVALIS_SCAN_BLOCKS(masks)                                                     \
  const char high = static_cast<char>(source.codePage == CodePage::Utf8 ? 0xC2 : 0x80); \
  const auto* p = reinterpret_cast<const unsigned char*>(source.data);                  \
  while (i < end && end - i >= 64) {                                                    \
    const BlockMasks m = masks(p + i, high);                                            \
    if (scanner.ScanBlock(i, m.q, m.c, m.l, m.x, m.h)) {                                \
      i += 64;                                                                          \
    } else {                                                                            \
      i = scanner.ScanUnits<Units::Bytes>(i, i + 64);                                   \
    }                                                                                   \
  }                                                                                     \
  return i;

std::uint64_t scanByteBlocksSse2(Scanner& scanner, const Source& source, std::uint64_t i,
                                 std::uint64_t end) {
  NORVALIS_SCAN_BLOCKS(masksSse2)
}

__attribute__((target("avx2,popcnt,lzcnt,bmi"))) std::uint64_t scanByteBlocksAvx2(
    Scanner& scanner, const Source& source, std::uint64_t i, std::uint64_t end) {
  NORVALIS_SCAN_BLOCKS(masksAvx2)
}
#undef NORVALIS_SCAN_BLOCKS

using ScanFunction = std::uint64_t (*)(Scanner&, const Source&, std::uint64_t, std::uint64_t);

std::uint64_t scanByteBlocks(Scanner& scanner, const Source& source, std::uint64_t i,
                             std::uint64_t end) {
  static const ScanFunction scan = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") ? scanByteBlocksAvx2
                                                                              : scanByteBlocksSse2;
  }();
  return scan(scanner, source, i, end);
}
#endif

// Scans [i, end); returns where it stopped (just past end after a dropped sequence).
template <Units K>
std::uint64_t scanRange(Scanner& scanner, const Source& source, std::uint64_t i,
                        std::uint64_t end) {
#if defined(NORVALIS_X86)
  if constexpr (K == Units::Bytes) i = scanByteBlocks(scanner, source, i, end);
#else
  (void)source;
#endif
  if (i >= end) return i;
  return scanner.ScanUnits<K>(i, end);
}

template <Units K>
Index buildIndex(const Source& source, YieldHook& hook, const std::atomic<bool>* cancel,
                 const Limits& limits) {
  Index index;
  Scanner scanner(source, limits, index);
  // Room for short rows up front: pages of it that no row fills are never touched.
  index.rowStart.reserve(source.units / 32 + 16);
  index.rowStart.push_back(0);
  std::uint64_t i = 0;
  while (i < source.units) {
    const std::uint64_t end = std::min(source.units, i + UnitsPerTick);
    i = scanRange<K>(scanner, source, i, end);
    if (scanner.state.overLimit) return index;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
      index.cancelled = true;
      return index;
    }
    hook.Tick(i, source.units);
  }
  ScanState& s = scanner.state;
  if (source.trailingReplacement) {
    // The odd last byte reads as U+FFFD, text in whatever field is open.
    if (s.atFieldStart) s.quoted = false;
    s.lineLastCol = static_cast<std::int64_t>(s.col);
  }
  scanner.EndLine(source.units);
  if (s.overLimit) return index;
  index.rowCount = static_cast<std::uint32_t>(s.lastRow + 1);
  index.colCount = static_cast<std::uint32_t>(s.maxCols);
  index.rowStart.resize(index.rowCount);
  // Far more lines filled in than rows kept (empty lines at the end): give them back.
  if (s.line > 2 * std::uint64_t{index.rowCount} + 4096) index.rowStart.shrink_to_fit();
  index.ok = true;
  return index;
}

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

template <class Visit>
void withUnits(Units kind, Visit visit) {
  switch (kind) {
    case Units::Bytes:
      return visit.template operator()<Units::Bytes>();
    case Units::Utf16LE:
      return visit.template operator()<Units::Utf16LE>();
    case Units::Utf16BE:
      return visit.template operator()<Units::Utf16BE>();
    case Units::Text:
      return visit.template operator()<Units::Text>();
  }
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

// One field's decoded units to its cell text: dropped units out, quotes resolved. The field
// holds no separator outside quotes, or it would have ended there.
void cutField(std::u16string_view units, UnicodeString& out) {
  bool atFieldStart = true;
  bool quoted = false;
  bool inside = false;
  for (const char16_t unit : units) {
    if (!keptByDialect(unit)) continue;
    if (atFieldStart) {
      quoted = unit == Quote;
      inside = false;
    }
    if (!quoted) {
      out += unit;
    } else {
      if (unit == Quote) inside = !inside;
      if (inside) {
        if (!atFieldStart) out += unit;
      } else if (unit != Quote) {
        out += unit;
      }
    }
    atFieldStart = false;
  }
}

}  // namespace

Index Build(const Source& source, YieldHook& hook, const std::atomic<bool>* cancel,
            const Limits& limits) {
  Index index;
  withUnits(source.kind, [&]<Units K>() { index = buildIndex<K>(source, hook, cancel, limits); });
  return index;
}

Field RowUnits(const Source& source, const Index& index, std::uint32_t row) {
  if (row >= index.rowCount) return {};
  const std::uint64_t end = row + 1 < index.rowCount ? index.rowStart[row + 1] : source.units;
  return Field{index.rowStart[row], end};
}

Field LocateField(const Source& source, Field row, std::uint32_t col) {
  Field found{row.end, row.end, false};
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

void DecodeField(const Source& source, Field field, UnicodeString& out) {
  out.clear();
  if (!field.present) return;
  const bool atEnd = source.trailingReplacement && field.end == source.units;
  if (field.begin == field.end && !atEnd) return;
  UnicodeString units;
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
  cutField(units, out);
}

}  // namespace norvalis::CsvIndex
