#include "csv/CsvTableBuilder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace norvalis {

namespace {

constexpr char16_t Lf = u'\n';
constexpr char16_t Comma = u',';
constexpr char16_t Quote = u'"';

// Hand control to the hook about this often (in code units), never per unit.
constexpr std::size_t YieldStride = 64 * 1024;

// Code units the dialect drops wherever they stand: CR, the other controls except TAB and LF,
// U+007F and U+0080.
constexpr bool isDropped(unsigned unit) {
  if (unit > 0x80) return false;
  if (unit == 0x09 || unit == 0x0A) return false;
  return unit < 0x20 || unit >= 0x7F;
}

// Where a run of cell content is being copied: each place ends a run on other units.
enum class RunKind { Unquoted, InsideQuotes, AfterClosingQuote };

// 1 for each code unit (clamped to 255, which stands for every unit above U+0080) that is
// cell content in that place; 0 for the units that need a decision.
using RunTable = std::array<std::uint8_t, 256>;

constexpr RunTable makeRunTable(RunKind kind) {
  RunTable table{};
  for (unsigned unit = 0; unit < 256; ++unit) {
    bool content = !isDropped(unit);
    if (unit == Quote && kind != RunKind::Unquoted) content = false;
    if ((unit == Comma || unit == Lf) && kind != RunKind::InsideQuotes) content = false;
    table[unit] = content ? 1 : 0;
  }
  return table;
}

constexpr RunTable UnquotedRun = makeRunTable(RunKind::Unquoted);
constexpr RunTable InsideQuotesRun = makeRunTable(RunKind::InsideQuotes);
constexpr RunTable AfterClosingQuoteRun = makeRunTable(RunKind::AfterClosingQuote);

bool continuesRun(const RunTable& run, char16_t unit) {
  return run[std::min<unsigned>(unit, 255)] != 0;
}

#if defined(__SSE2__)
// Lanes that may end a run: every unit below U+0020 (TAB and LF included, the table decides
// those), U+007F, U+0080, and the place's own separators.
template <RunKind Kind>
int blockStopMask(__m128i block) {
  const __m128i control =
      _mm_cmpeq_epi16(_mm_subs_epu16(block, _mm_set1_epi16(0x1F)), _mm_setzero_si128());
  __m128i stop = _mm_or_si128(control, _mm_cmpeq_epi16(block, _mm_set1_epi16(0x7F)));
  stop = _mm_or_si128(stop, _mm_cmpeq_epi16(block, _mm_set1_epi16(0x80)));
  if constexpr (Kind != RunKind::InsideQuotes) {
    stop = _mm_or_si128(stop, _mm_cmpeq_epi16(block, _mm_set1_epi16(Comma)));
  }
  if constexpr (Kind != RunKind::Unquoted) {
    stop = _mm_or_si128(stop, _mm_cmpeq_epi16(block, _mm_set1_epi16(Quote)));
  }
  return _mm_movemask_epi8(stop);
}
#endif

template <RunKind Kind>
constexpr const RunTable& runTable() {
  if constexpr (Kind == RunKind::Unquoted) return UnquotedRun;
  if constexpr (Kind == RunKind::InsideQuotes) return InsideQuotesRun;
  return AfterClosingQuoteRun;
}

// Copies content units from read down to write until a unit that may need a decision, or
// end; write never passes read. Stops on a few content units too (TAB, LF inside quotes),
// which the caller copies itself: that keeps the block test short.
template <RunKind Kind>
void copyRun(char16_t* p, std::size_t& readPos, std::size_t& writePos, std::size_t end) {
  std::size_t read = readPos;
  std::size_t write = writePos;
#if defined(__SSE2__)
  constexpr std::size_t Lanes = 8;
  while (read + Lanes <= end) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + read));
    const int stop = blockStopMask<Kind>(block);
    if (stop == 0) {
      // All eight were read into the block, so the store may cover any of them.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + write), block);
      read += Lanes;
      write += Lanes;
      continue;
    }
    const std::size_t count = static_cast<std::size_t>(__builtin_ctz(stop)) / 2;
    if (read - write >= Lanes) {
      // The whole store lands on units already read; the lanes past count are scratch.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + write), block);
    } else {
      for (std::size_t i = 0; i < count; ++i)
        p[write + i] = p[read + i];
    }
    readPos = read + count;
    writePos = write + count;
    return;
  }
#endif
  const RunTable& run = runTable<Kind>();
  while (read < end && continuesRun(run, p[read]))
    p[write++] = p[read++];
  readPos = read;
  writePos = write;
}

// How many commas and LFs the text holds, to size the index up front.
struct SeparatorCount {
  std::size_t commas = 0;
  std::size_t lfs = 0;
};

SeparatorCount countSeparators(const char16_t* p, std::size_t size) {
  SeparatorCount count;
  std::size_t i = 0;
#if defined(__SSE2__)
  // 16-bit lane counters, emptied before they can overflow.
  constexpr std::size_t Lanes = 8;
  constexpr std::size_t BlocksPerFlush = 0x7FFF;
  const __m128i comma = _mm_set1_epi16(Comma);
  const __m128i lf = _mm_set1_epi16(Lf);
  auto sumLanes = [](__m128i lanes) {
    alignas(16) std::uint16_t values[Lanes];
    _mm_store_si128(reinterpret_cast<__m128i*>(values), lanes);
    std::size_t sum = 0;
    for (const std::uint16_t value : values)
      sum += value;
    return sum;
  };
  while (i + Lanes <= size) {
    __m128i commas = _mm_setzero_si128();
    __m128i lfs = _mm_setzero_si128();
    const std::size_t stop = std::min(size - Lanes + 1, i + BlocksPerFlush * Lanes);
    for (; i < stop; i += Lanes) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      commas = _mm_sub_epi16(commas, _mm_cmpeq_epi16(block, comma));
      lfs = _mm_sub_epi16(lfs, _mm_cmpeq_epi16(block, lf));
    }
    count.commas += sumLanes(commas);
    count.lfs += sumLanes(lfs);
  }
#endif
  for (; i < size; ++i) {
    count.commas += p[i] == Comma;
    count.lfs += p[i] == Lf;
  }
  return count;
}

struct TableTooLarge {};

}  // namespace

// Builds the compact table while the text is scanned. The write position never passes the
// read position (the dialect only removes code units), so cell texts go into the same buffer.
class CsvTableBuilder::Parser {
 public:
  Parser(UnicodeString& text, const CsvTableBuilder::Limits& limits, CsvTable& table)
      : p_(text.data()), size_(text.size()), limits_(limits), table_(table) {}

  void ReserveFromSeparators() {
    const SeparatorCount count = countSeparators(p_, size_);
    // Separators inside quotes or before nothing store no cell; cap the guess so a text of
    // bare separators does not reserve several times its own size.
    const std::size_t cap = size_ / 2 + 1;
    table_.rowText_.reserve(std::min(count.lfs + 1, cap));
    table_.rowCells_.reserve(std::min(count.lfs + 2, cap + 1));
    table_.cellEnd_.reserve(std::min(count.commas + count.lfs + 1, cap));
  }

  // Parses [Position(), end); the state carries over to the next call. The parse state is
  // the place in this function (the labels), which keeps each decision a branch of its own.
  void ParseUntil(std::size_t end) {
    char16_t* const p = p_;
    std::size_t read = read_;
    std::size_t write = write_;
    char16_t unit = 0;
    switch (mode_) {
      case Mode::FieldStart:
        goto fieldStart;
      case Mode::Unquoted:
        goto unquoted;
      case Mode::InsideQuotes:
        goto insideQuotes;
      case Mode::AfterClosingQuote:
        goto afterClosingQuote;
    }

  fieldStart:
    while (read < end) {
      unit = p[read++];
      if (unit == Quote) goto insideQuotes;  // the opening quotation mark is not content
      if (continuesRun(UnquotedRun, unit)) {
        openCell(write);
        p[write++] = unit;
        goto unquoted;
      }
      if (unit == Comma) {
        ++col_;
      } else if (unit == Lf) {
        endRow();
      }
    }
    mode_ = Mode::FieldStart;
    goto done;

  unquoted:
    copyRun<RunKind::Unquoted>(p, read, write, end);
    if (read == end) {
      mode_ = Mode::Unquoted;
      goto done;
    }
    unit = p[read++];
    if (unit == Comma) {
      endField(write);
      ++col_;
      goto fieldStart;
    }
    if (unit == Lf) {
      endField(write);
      endRow();
      goto fieldStart;
    }
    if (continuesRun(UnquotedRun, unit)) p[write++] = unit;
    goto unquoted;

  insideQuotes : {
    const std::size_t start = write;
    copyRun<RunKind::InsideQuotes>(p, read, write, end);
    if (write != start && !cellOpen_) openCell(start);
    if (read == end) {
      mode_ = Mode::InsideQuotes;
      goto done;
    }
    unit = p[read++];
    if (unit == Quote) goto afterClosingQuote;
    if (continuesRun(InsideQuotesRun, unit)) {
      if (!cellOpen_) openCell(write);
      p[write++] = unit;
    }
    goto insideQuotes;
  }

  afterClosingQuote : {
    // Most quoted fields end right after the closing quotation mark.
    if (read < end && (p[read] == Comma || p[read] == Lf)) {
      endField(write);
      if (p[read++] == Comma) {
        ++col_;
      } else {
        endRow();
      }
      goto fieldStart;
    }
    const std::size_t start = write;
    copyRun<RunKind::AfterClosingQuote>(p, read, write, end);
    if (write != start && !cellOpen_) openCell(start);
    if (read == end) {
      mode_ = Mode::AfterClosingQuote;
      goto done;
    }
    unit = p[read++];
    if (unit == Quote) {
      // Leads back inside the quotes and is content itself (the second of a doubled pair).
      if (!cellOpen_) openCell(write);
      p[write++] = unit;
      goto insideQuotes;
    }
    if (unit == Comma) {
      endField(write);
      ++col_;
      goto fieldStart;
    }
    if (unit == Lf) {
      endField(write);
      endRow();
      goto fieldStart;
    }
    if (continuesRun(AfterClosingQuoteRun, unit)) {
      if (!cellOpen_) openCell(write);
      p[write++] = unit;
    }
    goto afterClosingQuote;
  }

  done:
    read_ = read;
    write_ = write;
  }

  std::size_t Position() const { return read_; }

  // Closes the last cell and the row index; returns the length of the cell text.
  std::size_t Finish() {
    endField(write_);
    endRow();
    table_.rowCells_.push_back(table_.cellEnd_.size());
    table_.rowCount_ = static_cast<std::uint32_t>(table_.rowText_.size());
    table_.colCount_ = static_cast<std::uint32_t>(colCount_);
    return write_;
  }

 private:
  enum class Mode { FieldStart, Unquoted, InsideQuotes, AfterClosingQuote };

  std::uint32_t rowOffset(std::size_t position) const {
    const std::uint64_t offset = position - rowStart_;
    if (offset > limits_.rowText) throw TableTooLarge{};
    return static_cast<std::uint32_t>(offset);
  }

  // Brings cell (row_, col_) into being; cellStart is where its text begins in the buffer.
  [[gnu::always_inline]] void openCell(std::size_t cellStart) {
    if (rowOpen_ && cellsInRow_ == col_) {
      table_.cellEnd_.push_back(0);  // set when the field ends
      ++cellsInRow_;
      cellOpen_ = true;
      return;
    }
    openCellWithGaps(cellStart);
  }

  // The rare case: the row or empty cells to the left of this one are still missing.
  [[gnu::noinline]] void openCellWithGaps(std::size_t cellStart) {
    if (!rowOpen_) {
      if (row_ >= limits_.rows) throw TableTooLarge{};
      while (table_.rowText_.size() <= row_) {
        table_.rowText_.push_back(cellStart);
        table_.rowCells_.push_back(table_.cellEnd_.size());
      }
      rowStart_ = cellStart;
      cellsInRow_ = 0;
      rowOpen_ = true;
    }
    if (col_ >= limits_.cellsPerRow) throw TableTooLarge{};
    const std::uint32_t emptyEnd = rowOffset(cellStart);
    for (; cellsInRow_ < col_; ++cellsInRow_)
      table_.cellEnd_.push_back(emptyEnd);
    table_.cellEnd_.push_back(emptyEnd);  // set when the field ends
    ++cellsInRow_;
    cellOpen_ = true;
  }

  void endField(std::size_t write) {
    if (!cellOpen_) return;
    table_.cellEnd_.back() = rowOffset(write);
    cellOpen_ = false;
  }

  void endRow() {
    if (rowOpen_) {
      if (cellsInRow_ > limits_.cellsPerRow) throw TableTooLarge{};
      colCount_ = std::max(colCount_, cellsInRow_);
    }
    ++row_;
    col_ = 0;
    rowOpen_ = false;
  }

  char16_t* p_;
  std::size_t size_;
  const CsvTableBuilder::Limits& limits_;
  CsvTable& table_;

  std::size_t read_ = 0;
  std::size_t write_ = 0;
  Mode mode_ = Mode::FieldStart;
  std::uint64_t row_ = 0;
  std::uint64_t col_ = 0;
  bool rowOpen_ = false;   // row_ has been stored
  bool cellOpen_ = false;  // cell (row_, col_) has been stored
  std::size_t rowStart_ = 0;
  std::uint64_t cellsInRow_ = 0;
  std::uint64_t colCount_ = 0;
};

namespace {

// Gives back reserved capacity that the guess overshot by much.
template <typename T>
void trimCapacity(std::vector<T>& values) {
  if (values.capacity() > values.size() + values.size() / 4 + 4096) values.shrink_to_fit();
}

}  // namespace

CsvTableBuilder::Result CsvTableBuilder::Build(UnicodeString&& text, YieldHook& yield,
                                               const Limits& limits) {
  auto table = std::make_shared<CsvTable>();
  std::size_t textSize = 0;
  try {
    Parser parser(text, limits, *table);
    parser.ReserveFromSeparators();
    const std::size_t total = text.size();
    while (parser.Position() < total) {
      parser.ParseUntil(std::min(total, parser.Position() + YieldStride));
      yield.Tick(parser.Position(), total);
    }
    textSize = parser.Finish();
  } catch (const TableTooLarge&) {
    return {};
  }
  if (table->rowCount_ == 0) return {true, nullptr};
  // Keeps the buffer: shrinking it would copy the whole text once more.
  text.resize(textSize);
  table->text_ = std::move(text);
  trimCapacity(table->rowText_);
  trimCapacity(table->rowCells_);
  trimCapacity(table->cellEnd_);
  return {true, std::move(table)};
}

}  // namespace norvalis
