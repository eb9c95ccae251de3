#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// What a run of the column check found.
struct CheckResult {
  enum class Outcome { AllMatch, Differs, NoRows };
  Outcome outcome = Outcome::NoRows;
  std::uint32_t rowIndex = 0;   // table row of the first difference
  UnicodeString cell;           // its text
  std::uint64_t compared = 0;   // rows found equal before the run ended
  std::uint64_t toCompare = 0;  // rows the run would compare (row count − title − 1)

  // The row number the user sees: the table row index + 1.
  long long RowNumber() const { return static_cast<long long>(rowIndex) + 1; }
};

// The table rows a check reads: the reference row (the first data row) and the rows compared
// with it, [first, end). Empty when there is no reference row.
struct CheckRows {
  std::uint32_t reference = 0;
  std::uint32_t first = 0;
  std::uint32_t end = 0;
  bool HasReference() const { return end > reference; }
  std::uint64_t ToCompare() const { return end > first ? end - first : 0; }
};
CheckRows CheckRowsOf(std::uint32_t rowCount, bool firstLineIsTitle);
// The table column of a check's column: one past any table for a column outside it (where
// every cell reads as empty).
std::uint32_t CheckTableColumn(std::int64_t column);

// The check's comparison: equal only when both texts hold the same UTF-16 code units (case,
// blanks and width all count).
inline bool SameCellText(std::u16string_view a, std::u16string_view b) {
  return a == b;
}

// Compares the cell of every data row in `column` with the first data row's, exactly by
// UTF-16 code units, and stops at the first difference. A column outside the table reads as
// empty cells. The hook gets (rows compared, rows to compare) on elapsed time; the run stops
// soon after *cancel becomes true, with what it had compared so far.
CheckResult CheckColumn(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                        YieldHook* hook = nullptr, const std::atomic<bool>* cancel = nullptr);

// "検証する行がありません。", "すべての値が一致しました。" or the one-line difference text.
UnicodeString CheckStatusText(const CheckResult& result);
// The message-box text: the difference on two lines, or the no-rows text.
UnicodeString CheckMessageText(const CheckResult& result);

}  // namespace norvalis
