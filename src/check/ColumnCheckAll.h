#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "check/ColumnCheck.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// What the column check found for every column of a table at once.
struct AllColumnsResult {
  // NoRows when there is no row to compare; Differs when any column differs; else AllMatch.
  CheckResult::Outcome outcome = CheckResult::Outcome::NoRows;
  // One per table column, as CheckColumn would report it on its own (empty for NoRows).
  std::vector<CheckResult> columns;
  // The first line's cells, when it is the title (else empty).
  std::vector<UnicodeString> titles;
};

// The column check of every column in one pass over the rows: each row's cells are read
// once, a column stops being compared at its first difference, and the pass ends early when
// every column has differed. The hook gets (rows compared, rows to compare) on elapsed time;
// the pass stops soon after *cancel becomes true.
AllColumnsResult CheckAllColumns(const CsvTable& table, bool firstLineIsTitle,
                                 YieldHook* hook = nullptr,
                                 const std::atomic<bool>* cancel = nullptr);

// One column of the report, as the window lists it and norvalis-check prints it.
struct AllColumnsLine {
  UnicodeString letter;  // "A", "B", …
  UnicodeString title;   // the column's title, when the first line is the title
  UnicodeString result;  // "一致", or the first differing row as "3行目"
  UnicodeString value;   // the differing cell's text (empty when the column matches)
};
std::vector<AllColumnsLine> AllColumnsLines(const AllColumnsResult& result);
// The lines as tab-separated text, one per column, each ended by a line break.
UnicodeString AllColumnsTsv(const std::vector<AllColumnsLine>& lines);

}  // namespace norvalis
