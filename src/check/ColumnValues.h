#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// One distinct value of a column: its text, how many data rows hold it and the first of them.
struct ColumnValue {
  UnicodeString text;  // empty for the empty value, which is a value like any other
  std::uint64_t count = 0;
  std::uint32_t firstRow = 0;  // table row
  // The row number the user sees, as the check numbers rows: the table row index + 1.
  long long FirstRowNumber() const { return static_cast<long long>(firstRow) + 1; }
};

struct ColumnValues {
  bool hasRows = false;    // false when the table has no data row
  std::uint64_t rows = 0;  // data rows counted
  // By count, most first; equal counts by first row.
  std::vector<ColumnValue> values;
  bool cancelled = false;
};

// Every distinct value of the data rows' cells in `column`, equal text counted as one (cells
// that differ only in how they are stored, such as the two codes of one character, or a
// quoted and an unquoted field, are one value). The hook gets (rows done, rows) on elapsed
// time; the pass stops soon after *cancel becomes true.
ColumnValues CountColumnValues(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                               YieldHook* hook = nullptr,
                               const std::atomic<bool>* cancel = nullptr);

}  // namespace norvalis
