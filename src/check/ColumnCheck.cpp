#include "check/ColumnCheck.h"

#include <climits>
#include <utility>

#include "check/CellMatch.h"

namespace norvalis {

namespace {

constexpr char16_t NoRowsText[] = u"検証する行がありません。";
constexpr char16_t AllMatchText[] = u"すべての値が一致しました。";
constexpr char16_t DiffersStatus[] = u"%d行目のデータが異なります。セルの値：%s";
constexpr char16_t DiffersMessage[] = u"%d行目のデータが異なります。\nセルの値：%s";

// Rows between two looks at the clock; the hook itself limits the calls by time.
constexpr std::uint32_t RowsPerTick = 1 << 14;

}  // namespace

std::uint32_t CheckTableColumn(std::int64_t column) {
  if (column < 0 || column > UINT32_MAX) return UINT32_MAX;
  return static_cast<std::uint32_t>(column);
}

CheckRows CheckRowsOf(std::uint32_t rowCount, bool firstLineIsTitle) {
  CheckRows rows;
  rows.reference = firstLineIsTitle ? 1 : 0;
  rows.first = rows.reference + 1;
  rows.end = rowCount;
  return rows;
}

CheckResult CheckColumn(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                        YieldHook* hook, const std::atomic<bool>* cancel) {
  CheckResult result;
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (!rows.HasReference()) return result;

  const std::uint32_t col = CheckTableColumn(column);
  result.toCompare = rows.ToCompare();
  const std::string_view referenceRaw = table.RawCell(rows.reference, col);
  CellMatch matches(table, table.CellText(referenceRaw), referenceRaw);
  if (hook != nullptr) hook->Force(0, result.toCompare);
  for (std::uint32_t i = rows.first; i < rows.end; ++i) {
    const std::string_view raw = table.RawCell(i, col);
    if (!matches(raw)) {
      result.outcome = CheckResult::Outcome::Differs;
      result.rowIndex = i;
      result.cell = table.CellText(raw);
      return result;
    }
    ++result.compared;
    if ((result.compared % RowsPerTick) == 0) {
      if (cancel != nullptr && cancel->load()) return result;
      if (hook != nullptr) hook->Tick(result.compared, result.toCompare);
    }
  }
  result.outcome = CheckResult::Outcome::AllMatch;
  return result;
}

UnicodeString CheckStatusText(const CheckResult& result) {
  switch (result.outcome) {
    case CheckResult::Outcome::NoRows:
      return NoRowsText;
    case CheckResult::Outcome::AllMatch:
      return AllMatchText;
    case CheckResult::Outcome::Differs:
      break;
  }
  return Format(DiffersStatus, {result.RowNumber(), std::u16string_view(result.cell)});
}

UnicodeString CheckMessageText(const CheckResult& result) {
  if (result.outcome == CheckResult::Outcome::Differs) {
    return Format(DiffersMessage, {result.RowNumber(), std::u16string_view(result.cell)});
  }
  return CheckStatusText(result);
}

}  // namespace norvalis
