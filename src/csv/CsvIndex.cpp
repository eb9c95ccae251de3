#include "csv/CsvIndex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <system_error>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NORVALIS_X86 1
#endif

#include "csv/CsvUnits.h"
#include "text/CodePage.h"
#include "text/StringUtility.h"

namespace norvalis::CsvIndex {

namespace {

using namespace CodeUnits;

// Units between two looks at the clock and the cancel flag.
constexpr std::uint64_t UnitsPerTick = std::uint64_t{1} << 20;

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
  // qx: the prefix XOR of q (bit k: an odd number of quotes in bits 0..k).
  [[gnu::always_inline]] inline bool ScanBlock(std::uint64_t base, std::uint64_t q,
                                               std::uint64_t qx, std::uint64_t c, std::uint64_t l,
                                               std::uint64_t x, std::uint64_t h) {
    ScanState& s = state;
    std::uint64_t in = qx;
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
  std::uint64_t qx = 0;  // the prefix XOR of q
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
  m.qx = m.q;
  for (int shift = 1; shift < 64; shift *= 2)
    m.qx ^= m.qx << shift;
  return m;
}

[[gnu::always_inline]] inline __attribute__((target("avx2,pclmul"))) BlockMasks masksAvx2(
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
  // A carry-less multiply by all ones: one instruction for the six shifts.
  m.qx = static_cast<std::uint64_t>(_mm_cvtsi128_si64(
      _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(m.q)), _mm_set1_epi8(-1), 0)));
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
    if (scanner.ScanBlock(i, m.q, m.qx, m.c, m.l, m.x, m.h)) {                          \
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

__attribute__((target("avx2,popcnt,lzcnt,bmi,pclmul"))) std::uint64_t scanByteBlocksAvx2(
    Scanner& scanner, const Source& source, std::uint64_t i, std::uint64_t end) {
  NORVALIS_SCAN_BLOCKS(masksAvx2)
}
#undef NORVALIS_SCAN_BLOCKS

using ScanFunction = std::uint64_t (*)(Scanner&, const Source&, std::uint64_t, std::uint64_t);

std::uint64_t scanByteBlocks(Scanner& scanner, const Source& source, std::uint64_t i,
                             std::uint64_t end) {
  static const ScanFunction scan = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                   __builtin_cpu_supports("pclmul")
               ? scanByteBlocksAvx2
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

// A part of the content scanned on a thread of its own from a line's start, as if the content
// began there: its rows are counted from its first line.
struct Part {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  Index index;  // rowStart: the lines that begin after its LFs
  ScanState state;
  bool done = false;  // scanned to its end
};

// Where the parts begin: just after the first LF at or after each even cut, fewer where lines
// are longer than a part.
template <Units K>
std::vector<std::uint64_t> partStarts(const Source& source, const Limits& limits) {
  const unsigned cores =
      limits.parts != 0 ? limits.parts : std::max(1u, std::thread::hardware_concurrency());
  const std::uint64_t parts = std::min<std::uint64_t>(
      {cores, source.units / std::max<std::uint64_t>(1, limits.unitsPerPart), 16});
  std::vector<std::uint64_t> starts = {0};
  for (std::uint64_t p = 1; p < parts; ++p) {
    std::uint64_t at = std::max(source.units / parts * p, starts.back());
    while (at < source.units && unitAt<K>(source.data, at) != Lf)
      ++at;
    if (at + 1 >= source.units) break;
    if (at + 1 > starts.back()) starts.push_back(at + 1);
  }
  return starts;
}

// Scans [i, end) in ticks; false when the cancel flag or the stop flag was seen set.
template <Units K>
bool scanTicks(Scanner& scanner, const Source& source, std::uint64_t i, std::uint64_t end,
               std::atomic<std::uint64_t>& done, const std::atomic<bool>* cancel,
               const std::atomic<bool>& stop, YieldHook* hook) {
  while (i < end) {
    const std::uint64_t next = std::min(end, i + UnitsPerTick);
    const std::uint64_t was = i;
    i = scanRange<K>(scanner, source, i, next);
    done += i - was;
    if (scanner.state.overLimit) return true;
    if (hook != nullptr) hook->Tick(done.load(), source.units);
    // Looked at after the report, so a cancel asked for in the last one is not lost.
    if (stop.load(std::memory_order_relaxed)) return false;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
  }
  return true;
}

template <Units K>
Index buildIndex(const Source& source, YieldHook& hook, const std::atomic<bool>* cancel,
                 const Limits& limits) {
  Index index;
  Scanner scanner(source, limits, index);
  // Room for short rows up front: pages of it that no row fills are never touched.
  index.rowStart.reserve(source.units / 32 + 16);
  index.rowStart.push_back(0);
  const std::vector<std::uint64_t> starts = partStarts<K>(source, limits);
  std::vector<Part> parts(starts.size() - 1);
  std::atomic<std::uint64_t> done{0};
  std::atomic<bool> stop{false};
  std::vector<std::jthread> threads;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    Part& part = parts[p];
    part.begin = starts[p + 1];
    part.end = p + 2 < starts.size() ? starts[p + 2] : source.units;
    const auto scan = [&source, &limits, &part, &done, cancel, &stop] {
      // A part that fails (out of memory) is left undone: the calling thread then scans it and
      // meets the failure itself.
      try {
        Scanner own(source, limits, part.index);
        part.index.rowStart.reserve((part.end - part.begin) / 32 + 16);
        part.done = scanTicks<K>(own, source, part.begin, part.end, done, cancel, stop, nullptr) &&
                    !own.state.overLimit;
        part.state = own.state;
      } catch (...) {
        part.done = false;
      }
    };
    try {
      threads.emplace_back(scan);
    } catch (const std::system_error&) {
      break;  // no thread to be had: the rest is scanned in turn
    }
  }
  // Whatever way this ends, the parts stop soon and are waited for.
  struct StopParts {
    std::atomic<bool>& stop;
    std::vector<std::jthread>& threads;
    ~StopParts() {
      stop = true;
      threads.clear();
    }
  } stopParts{stop, threads};

  const std::uint64_t firstEnd = parts.empty() ? source.units : parts[0].begin;
  const std::atomic<bool> never{false};
  if (!scanTicks<K>(scanner, source, 0, firstEnd, done, cancel, never, &hook)) {
    index.cancelled = true;
    return index;
  }
  if (scanner.state.overLimit) return index;
  ScanState& s = scanner.state;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    Part& part = parts[p];
    if (p < threads.size()) threads[p].join();
    // The part began at a line's start only if the LF before it ended a line.
    const bool fresh = index.rowStart.back() == part.begin;
    if (fresh && part.done) {
      const ScanState& t = part.state;
      if (t.lastRow >= 0) s.lastRow = static_cast<std::int64_t>(s.line) + t.lastRow;
      s.maxCols = std::max(s.maxCols, t.maxCols);
      const std::uint64_t line = s.line + t.line;
      const std::int64_t lastRow = s.lastRow;
      const std::uint64_t maxCols = s.maxCols;
      s = t;
      s.line = line;
      s.lastRow = lastRow;
      s.maxCols = maxCols;
      if (static_cast<std::uint64_t>(s.lastRow + 1) > limits.rows ||
          s.maxCols > limits.cellsPerRow) {
        return index;
      }
      index.rowStart.insert(index.rowStart.end(), part.index.rowStart.begin(),
                            part.index.rowStart.end());
      part.index.rowStart = {};
      continue;
    }
    if (cancel != nullptr && cancel->load()) {
      index.cancelled = true;
      return index;
    }
    // Inside quotes (or stopped): the rest is scanned here, in turn.
    stop = true;
    done = part.begin;
    if (!scanTicks<K>(scanner, source, part.begin, source.units, done, cancel, never, &hook)) {
      index.cancelled = true;
      return index;
    }
    if (s.overLimit) return index;
    break;
  }
  hook.Tick(source.units, source.units);
  if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
    index.cancelled = true;
    return index;
  }
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

}  // namespace

Index Build(const Source& source, YieldHook& hook, const std::atomic<bool>* cancel,
            const Limits& limits) {
  Index index;
  withUnits(source.kind, [&]<Units K>() { index = buildIndex<K>(source, hook, cancel, limits); });
  return index;
}

}  // namespace norvalis::CsvIndex
