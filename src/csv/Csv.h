#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// Why a load failed.
enum class CsvLoadError { None, Missing, Unreadable, Folder, OutOfMemory, Cancelled };

// The outcome of TCsv::Load.
struct CsvLoadResult {
  CsvLoadError error = CsvLoadError::None;
  UnicodeString message;  // the Japanese text of the failure (empty on success and on Cancelled)
  bool ok() const { return error == CsvLoadError::None; }
};

// The table content as plain vectors: rows of cells, zero-based.
using CsvRows = std::vector<std::vector<UnicodeString>>;

// The cells of a loaded table in one compact block: all cell texts in one buffer, one
// offset per cell, no heap object per cell. Immutable once built, so the grid can share it.
class CsvTable {
 public:
  std::uint32_t RowCount() const { return rowCount_; }
  // Width of the widest row; shorter rows read as padded with empty cells.
  std::uint32_t ColCount() const { return colCount_; }
  // The cell's text; empty outside the counts or in a row's padding.
  std::u16string_view Cell(std::uint32_t row, std::uint32_t col) const;
  // All ColCount() cells of a row into cells (resized; its strings keep their capacity, so a
  // pass over every row allocates once).
  void RowCells(std::uint32_t row, std::vector<UnicodeString>& cells) const;

 private:
  friend class CsvTableBuilder;
  std::uint32_t rowCount_ = 0;
  std::uint32_t colCount_ = 0;
  UnicodeString text_;                   // every cell's text, back to back
  std::vector<std::uint64_t> rowText_;   // per row: offset of its first cell in text_
  std::vector<std::uint64_t> rowCells_;  // per row + 1: index of its first entry in cellEnd_
  std::vector<std::uint32_t> cellEnd_;   // per stored cell: end offset relative to its row
};

// One CSV file as a rectangular, read-only table of UTF-16 cells.
class TCsv {
 public:
  TCsv();
  ~TCsv();
  TCsv(const TCsv&) = delete;
  TCsv& operator=(const TCsv&) = delete;

  // Reads the file decoded by codePage (0: detected as usual) and replaces the table with it;
  // stops with Cancelled soon after *cancel becomes true. On failure the table stays as it was.
  CsvLoadResult Load(const UnicodeString& fileName, std::uint16_t codePage = 0,
                     const std::atomic<bool>* cancel = nullptr);
  // Reads, decodes and parses the file into an empty table; false on any failure (the table
  // stays as it was).
  bool LoadFromFile(const UnicodeString& fileName);
  // Parses a decoded text into an empty table; false, with nothing changed, if not empty.
  bool LoadFromText(const UnicodeString& text);
  // The same, parsing in the text's own buffer.
  bool LoadFromText(UnicodeString&& text);
  // Back to the empty state.
  void Clear();
  bool IsEmpty() const;
  std::uint32_t GetRowCount() const;
  std::uint32_t GetColCount() const;
  // A copy of the cell's text; empty outside the counts.
  UnicodeString GetCell(std::uint32_t row, std::uint32_t col) const;
  // The cell's text without a copy; valid while the table is not cleared or reloaded.
  std::u16string_view CellView(std::uint32_t row, std::uint32_t col) const;
  // A copy of all rows, each exactly GetColCount() cells wide.
  CsvRows GetRows() const;
  // The loaded table for read-only sharing; null when empty.
  std::shared_ptr<const CsvTable> Share() const { return table_; }
  // The code page the last LoadFromFile decoded with (0 before any load).
  std::uint16_t CodePage() const { return codePage_; }

  // Exchanges the contents of two tables (a load made elsewhere, e.g. on a worker thread).
  void Swap(TCsv& other) noexcept;

  // Called on elapsed time while a text is parsed (and while a file is decoded).
  void SetYieldHook(YieldHook hook) { yield_ = std::move(hook); }

 private:
  std::shared_ptr<const CsvTable> table_;
  std::uint16_t codePage_ = 0;
  YieldHook yield_;
};

// Cuts a decoded text into ragged rows by the CSV dialect.
CsvRows ParseCsvText(const UnicodeString& text);
// Stores one code unit into cell (row, col), growing the rows as needed.
void AppendCellChar(std::uint32_t row, std::uint32_t col, char16_t unit, CsvRows& rows);

}  // namespace norvalis
