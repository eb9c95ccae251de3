#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "check/CellMatch.h"
#include "check/ColumnCheck.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// Table rows, ascending: what a filtered view shows (4 bytes a row, no copy of its cells).
using RowList = std::vector<std::uint32_t>;

// The rows a filter chose among the data rows (the title line is never one of them).
struct RowSelection {
  RowList rows;
  bool cancelled = false;  // the cancel flag stopped it; rows is then incomplete
};

// Every row whose cell differs from the reference row's, as the column check compares and
// numbers them (the first of them is the row CheckColumn reports).
struct Differences {
  CheckResult::Outcome outcome = CheckResult::Outcome::NoRows;
  UnicodeString reference;  // the reference row's cell
  RowList rows;
  bool cancelled = false;
};

// The column check's comparison of the rows after the reference, a range at a time, so a pass
// can hand on each range's rows as soon as they are found. Copied once per thread: it holds
// the comparison's scratch state.
class DifferenceScan {
 public:
  DifferenceScan(const CsvTable& table, bool firstLineIsTitle, std::int64_t column);

  bool HasReference() const { return rows_.HasReference(); }
  // The rows compared: [First(), End()).
  std::uint32_t First() const { return rows_.first; }
  std::uint32_t End() const { return std::max(rows_.first, rows_.end); }
  const UnicodeString& Reference() const { return match_.Text(); }
  // Appends the rows of [begin, end) whose cell differs, and their raw cells to raws if given.
  void Collect(std::uint32_t begin, std::uint32_t end, RowList& rows,
               std::vector<std::string_view>* raws = nullptr);

 private:
  const CsvTable* table_;
  CheckRows rows_;
  std::uint32_t col_;
  CellMatch match_;
  std::vector<std::string_view> cells_;  // a batch of the column's raw cells
};

// The rows of the column check's range whose cell in `column` differs from the reference
// row's. The hook gets (rows done, rows) on elapsed time; the pass stops soon after *cancel
// becomes true.
Differences FindDifferences(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                            YieldHook* hook = nullptr, const std::atomic<bool>* cancel = nullptr);

// The data rows whose cell in `column` holds the value (with = true) or does not (false),
// compared as the check compares.
RowSelection RowsWithValue(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                           std::u16string_view value, bool with, YieldHook* hook = nullptr,
                           const std::atomic<bool>* cancel = nullptr);

// The data rows any of whose cells contains the text, with or without case as the find
// compares.
RowSelection RowsContaining(const CsvTable& table, bool firstLineIsTitle, std::u16string_view text,
                            bool caseSensitive, YieldHook* hook = nullptr,
                            const std::atomic<bool>* cancel = nullptr);

}  // namespace norvalis
