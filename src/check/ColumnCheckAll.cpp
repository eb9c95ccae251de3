#include "check/ColumnCheckAll.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "csv/CsvUtility.h"
#include "csv/TsvText.h"

namespace norvalis {

namespace {

// Rows between two looks at the clock; the hook itself limits the calls by time.
constexpr std::uint32_t RowsPerTick = 1 << 12;

constexpr char16_t MatchText[] = u"一致";
constexpr char16_t RowText[] = u"%d行目";

}  // namespace

AllColumnsResult CheckAllColumns(const CsvTable& table, bool firstLineIsTitle, YieldHook* hook,
                                 const std::atomic<bool>* cancel) {
  AllColumnsResult result;
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (!rows.HasReference()) return result;

  const std::uint32_t colCount = table.ColCount();
  if (firstLineIsTitle) table.RowCells(0, result.titles);
  std::vector<UnicodeString> reference;
  table.RowCells(rows.reference, reference);
  result.columns.resize(colCount);
  for (CheckResult& column : result.columns) {
    column.outcome = CheckResult::Outcome::AllMatch;
    column.toCompare = rows.ToCompare();
  }
  // The columns still matching; a column leaves at its first difference.
  std::vector<std::uint32_t> open(colCount);
  std::iota(open.begin(), open.end(), 0);

  if (hook != nullptr) hook->Force(0, rows.ToCompare());
  std::vector<UnicodeString> cells;
  std::uint64_t done = 0;
  for (std::uint32_t i = rows.first; i < rows.end && !open.empty(); ++i) {
    table.RowCells(i, cells);
    const auto differs = [&](std::uint32_t col) {
      if (SameCellText(cells[col], reference[col])) return false;
      CheckResult& column = result.columns[col];
      column.outcome = CheckResult::Outcome::Differs;
      column.rowIndex = i;
      column.cell = cells[col];
      column.compared = done;
      return true;
    };
    open.erase(std::remove_if(open.begin(), open.end(), differs), open.end());
    ++done;
    if ((done % RowsPerTick) == 0) {
      if (cancel != nullptr && cancel->load()) return result;
      if (hook != nullptr) hook->Tick(done, rows.ToCompare());
    }
  }
  for (const std::uint32_t col : open)
    result.columns[col].compared = rows.ToCompare();

  const bool anyDiffers = open.size() != colCount;
  result.outcome = anyDiffers ? CheckResult::Outcome::Differs : CheckResult::Outcome::AllMatch;
  return result;
}

std::vector<AllColumnsLine> AllColumnsLines(const AllColumnsResult& result) {
  std::vector<AllColumnsLine> lines;
  lines.reserve(result.columns.size());
  for (std::size_t col = 0; col < result.columns.size(); ++col) {
    const CheckResult& column = result.columns[col];
    AllColumnsLine& line = lines.emplace_back();
    line.letter = TCsvUtility::ColumnIndexToLetters(static_cast<std::int32_t>(col));
    if (col < result.titles.size()) line.title = result.titles[col];
    if (column.outcome == CheckResult::Outcome::Differs) {
      line.result = Format(RowText, {column.RowNumber()});
      line.value = column.cell;
    } else {
      line.result = MatchText;
    }
  }
  return lines;
}

UnicodeString AllColumnsTsv(const std::vector<AllColumnsLine>& lines) {
  UnicodeString text;
  for (const AllColumnsLine& line : lines) {
    const std::array<UnicodeString, 4> fields = {line.letter, line.title, line.result, line.value};
    text += TsvLine(fields);
    text += u'\n';
  }
  return text;
}

}  // namespace norvalis
