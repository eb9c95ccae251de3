#include "csv/Csv.h"

#include <cerrno>
#include <new>
#include <stdexcept>
#include <utility>

#include "csv/CsvTableBuilder.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/StringUtility.h"

namespace norvalis {

std::u16string_view CsvTable::Cell(std::uint32_t row, std::uint32_t col) const {
  if (row >= rowCount_) return {};
  const std::uint64_t first = rowCells_[row];
  if (col >= rowCells_[row + 1] - first) return {};
  const std::uint32_t begin = col == 0 ? 0 : cellEnd_[first + col - 1];
  const std::uint32_t end = cellEnd_[first + col];
  return std::u16string_view(text_.data() + rowText_[row] + begin, end - begin);
}

void CsvTable::RowCells(std::uint32_t row, std::vector<UnicodeString>& cells) const {
  cells.resize(colCount_);
  for (std::uint32_t col = 0; col < colCount_; ++col)
    cells[col].assign(Cell(row, col));
}

TCsv::TCsv() = default;
TCsv::~TCsv() = default;

namespace {

// Raised from the yield hook to stop a load that was cancelled.
struct LoadCancelled {};

CsvLoadResult Failure(CsvLoadError error, UnicodeString message) {
  return CsvLoadResult{error, std::move(message)};
}

CsvLoadError OpenErrorKind(int errnum) {
  if (errnum == ENOENT || errnum == ENOTDIR) return CsvLoadError::Missing;
  if (errnum == EISDIR) return CsvLoadError::Folder;
  return CsvLoadError::Unreadable;
}

}  // namespace

CsvLoadResult TCsv::Load(const UnicodeString& fileName, std::uint16_t codePage,
                         const std::atomic<bool>* cancel) {
  const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
  try {
    TCsv loaded;
    // The caller's hook first, then the cancel flag, on the same elapsed-time ticks.
    loaded.SetYieldHook(
        YieldHook([outer = yield_, cancelled](std::uint64_t done, std::uint64_t total) mutable {
          outer.Force(done, total);
          if (cancelled()) throw LoadCancelled{};
        }));
    if (cancelled()) return Failure(CsvLoadError::Cancelled, {});
    std::uint16_t used = 0;
    // Decoded while read, so the raw bytes are never all held beside the text.
    UnicodeString text = TFileUtility::LoadFileToUnicodeStringAs(fileName, codePage, &used);
    if (cancelled()) return Failure(CsvLoadError::Cancelled, {});
    if (!loaded.LoadFromText(std::move(text))) {
      // More rows or cells than a table can address.
      return Failure(CsvLoadError::Unreadable, Format(u"ファイル %s を読み込めませんでした。",
                                                      {std::u16string_view(fileName)}));
    }
    if (cancelled()) return Failure(CsvLoadError::Cancelled, {});
    table_ = std::move(loaded.table_);
    codePage_ = used;
    return {};
  } catch (const LoadCancelled&) {
    return Failure(CsvLoadError::Cancelled, {});
  } catch (const EFOpenError& e) {
    return Failure(OpenErrorKind(e.ErrorNumber()), e.Message());
  } catch (const EOutOfMemory& e) {
    return Failure(CsvLoadError::OutOfMemory, e.Message());
  } catch (const std::bad_alloc&) {
    return Failure(CsvLoadError::OutOfMemory, TFileUtility::MemoryMessage);
  } catch (const std::length_error&) {
    return Failure(CsvLoadError::OutOfMemory, TFileUtility::MemoryMessage);
  } catch (const Exception& e) {
    return Failure(CsvLoadError::Unreadable, e.Message());
  }
}

bool TCsv::LoadFromFile(const UnicodeString& fileName) {
  try {
    if (!IsEmpty()) return false;
    return Load(fileName).ok();
  } catch (...) {
    return false;
  }
}

bool TCsv::LoadFromText(const UnicodeString& text) {
  if (!IsEmpty()) return false;
  return LoadFromText(UnicodeString(text));
}

bool TCsv::LoadFromText(UnicodeString&& text) {
  if (!IsEmpty()) return false;
  // A copy, so the hook may replace itself (or be replaced) while it runs.
  YieldHook yield = yield_;
  CsvTableBuilder::Result result = CsvTableBuilder::Build(std::move(text), yield);
  if (!result.ok) return false;
  // The hook may have let something else load this table meanwhile; that load stands.
  if (!IsEmpty()) return false;
  table_ = std::move(result.table);
  return true;
}

void TCsv::Clear() {
  table_.reset();
  codePage_ = 0;
}

bool TCsv::IsEmpty() const {
  return table_ == nullptr;
}

std::uint32_t TCsv::GetRowCount() const {
  return table_ ? table_->RowCount() : 0;
}

std::uint32_t TCsv::GetColCount() const {
  return table_ ? table_->ColCount() : 0;
}

UnicodeString TCsv::GetCell(std::uint32_t row, std::uint32_t col) const {
  return UnicodeString(CellView(row, col));
}

std::u16string_view TCsv::CellView(std::uint32_t row, std::uint32_t col) const {
  return table_ ? table_->Cell(row, col) : std::u16string_view();
}

CsvRows TCsv::GetRows() const {
  CsvRows rows;
  if (!table_) return rows;
  const std::uint32_t rowCount = table_->RowCount();
  const std::uint32_t colCount = table_->ColCount();
  rows.reserve(rowCount);
  for (std::uint32_t row = 0; row < rowCount; ++row) {
    std::vector<UnicodeString>& cells = rows.emplace_back();
    cells.reserve(colCount);
    for (std::uint32_t col = 0; col < colCount; ++col)
      cells.emplace_back(table_->Cell(row, col));
  }
  return rows;
}

void TCsv::Swap(TCsv& other) noexcept {
  table_.swap(other.table_);
  std::swap(codePage_, other.codePage_);
}

namespace {

constexpr char16_t Cr = u'\r';
constexpr char16_t Lf = u'\n';
constexpr char16_t Tab = u'\t';
constexpr char16_t Comma = u',';
constexpr char16_t Quote = u'"';

bool passesFilter(char16_t unit) {
  if (unit == Cr) return false;
  if (unit > 0x80) return true;
  return unit == Tab || unit == Lf || (unit >= 0x20 && unit <= 0x7E);
}

}  // namespace

// Kept unit by unit as the dialect is defined; TCsv loads through the in-place builder, which
// must give the same table.
CsvRows ParseCsvText(const UnicodeString& text) {
  CsvRows rows;
  std::uint32_t row = 0;
  std::uint32_t col = 0;
  bool atFieldStart = true;
  bool fieldIsQuoted = false;
  bool insideQuotes = false;
  for (const char16_t unit : text) {
    if (!passesFilter(unit)) continue;
    if (atFieldStart) {
      fieldIsQuoted = unit == Quote;
      insideQuotes = false;
    }
    if (!fieldIsQuoted) {
      if (unit == Lf) {
        ++row;
        col = 0;
        atFieldStart = true;
      } else if (unit == Comma) {
        ++col;
        atFieldStart = true;
      } else {
        AppendCellChar(row, col, unit, rows);
        atFieldStart = false;
      }
      continue;
    }
    if (unit == Quote) insideQuotes = !insideQuotes;
    if (insideQuotes) {
      if (!atFieldStart) AppendCellChar(row, col, unit, rows);
      atFieldStart = false;
    } else if (unit == Comma) {
      ++col;
      atFieldStart = true;
    } else if (unit == Lf) {
      ++row;
      col = 0;
      atFieldStart = true;
    } else if (unit != Quote) {
      AppendCellChar(row, col, unit, rows);
      atFieldStart = false;
    }
  }
  return rows;
}

void AppendCellChar(std::uint32_t row, std::uint32_t col, char16_t unit, CsvRows& rows) {
  while (rows.size() <= row)
    rows.emplace_back();
  std::vector<UnicodeString>& cells = rows[row];
  while (cells.size() <= col)
    cells.emplace_back();
  cells[col] += unit;
}

}  // namespace norvalis
