#include "check/RowFilter.h"

#include <utility>

#include "check/CellMatch.h"
#include "check/CellSearch.h"
#include "check/RowPass.h"

namespace norvalis {

namespace {

// The rows of [first, end) for which keeps(row) holds; keeps is copied once per part, so it
// may hold scratch state of its own. Each part collects its own rows, joined in order.
template <class Keeps>
RowSelection selectRows(std::uint32_t first, std::uint32_t end, const Keeps& keeps, YieldHook* hook,
                        const std::atomic<bool>* cancel) {
  RowSelection selection;
  if (end <= first) return selection;
  const unsigned parts = RowPass::PartsFor(end - first);
  std::vector<RowList> found(parts);
  std::vector<Keeps> keepers(parts, keeps);
  selection.cancelled = !RowPass::Run(first, end, parts, hook, cancel,
                                      [&](unsigned part, std::uint32_t begin, std::uint32_t to) {
                                        Keeps& keep = keepers[part];
                                        RowList& rows = found[part];
                                        for (std::uint32_t row = begin; row < to; ++row)
                                          if (keep(row)) rows.push_back(row);
                                      });
  std::size_t total = 0;
  for (const RowList& rows : found)
    total += rows.size();
  selection.rows = std::move(found[0]);
  selection.rows.reserve(total);
  for (unsigned part = 1; part < parts; ++part)
    selection.rows.insert(selection.rows.end(), found[part].begin(), found[part].end());
  return selection;
}

// A row whose cell in the column holds (or does not hold) a text.
struct CellIs {
  const CsvTable* table;
  std::uint32_t col;
  CellMatch match;
  bool with;
  bool operator()(std::uint32_t row) { return match(table->RawCell(row, col)) == with; }
};

}  // namespace

DifferenceScan::DifferenceScan(const CsvTable& table, bool firstLineIsTitle, std::int64_t column)
    : table_(&table),
      rows_(CheckRowsOf(table.RowCount(), firstLineIsTitle)),
      col_(CheckTableColumn(column)),
      match_(table, {}) {
  if (!rows_.HasReference()) return;
  const std::string_view referenceRaw = table.RawCell(rows_.reference, col_);
  match_ = CellMatch(table, table.CellText(referenceRaw), referenceRaw);
}

void DifferenceScan::Collect(std::uint32_t begin, std::uint32_t end, RowList& rows,
                             std::vector<std::string_view>* raws) {
  constexpr std::uint32_t Batch = 4096;
  for (std::uint32_t from = begin; from < end;) {
    const std::uint32_t to = end - from > Batch ? from + Batch : end;
    table_->RawColumn(col_, from, to, cells_);
    for (std::uint32_t i = 0; i < to - from; ++i) {
      if (match_(cells_[i])) continue;
      rows.push_back(from + i);
      if (raws != nullptr) raws->push_back(cells_[i]);
    }
    from = to;
  }
}

Differences FindDifferences(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                            YieldHook* hook, const std::atomic<bool>* cancel) {
  Differences result;
  const DifferenceScan scan(table, firstLineIsTitle, column);
  if (!scan.HasReference()) return result;
  result.reference = scan.Reference();
  if (scan.End() > scan.First()) {
    const unsigned parts = RowPass::PartsFor(scan.End() - scan.First());
    std::vector<RowList> found(parts);
    std::vector<DifferenceScan> scans(parts, scan);
    result.cancelled = !RowPass::Run(scan.First(), scan.End(), parts, hook, cancel,
                                     [&](unsigned p, std::uint32_t begin, std::uint32_t end) {
                                       scans[p].Collect(begin, end, found[p]);
                                     });
    std::size_t total = 0;
    for (const RowList& rows : found)
      total += rows.size();
    result.rows.reserve(total);
    for (RowList& rows : found) {
      result.rows.insert(result.rows.end(), rows.begin(), rows.end());
      rows = {};
    }
  }
  result.outcome =
      result.rows.empty() ? CheckResult::Outcome::AllMatch : CheckResult::Outcome::Differs;
  return result;
}

RowSelection RowsWithValue(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                           std::u16string_view value, bool with, YieldHook* hook,
                           const std::atomic<bool>* cancel) {
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  const CellIs is{&table, CheckTableColumn(column), CellMatch(table, UnicodeString(value)), with};
  return selectRows(rows.reference, rows.end, is, hook, cancel);
}

RowSelection RowsContaining(const CsvTable& table, bool firstLineIsTitle, std::u16string_view text,
                            bool caseSensitive, YieldHook* hook, const std::atomic<bool>* cancel) {
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (text.empty()) return {};
  struct AnyCellContains {
    const CsvTable* table;
    UnicodeString text;
    bool caseSensitive;
    std::vector<UnicodeString> cells;
    UnicodeString folded;
    bool operator()(std::uint32_t row) {
      table->RowCells(row, cells);
      for (const UnicodeString& cell : cells)
        if (CellContains(cell, text, caseSensitive, folded)) return true;
      return false;
    }
  };
  const AnyCellContains contains{&table, SearchText(text, caseSensitive), caseSensitive, {}, {}};
  return selectRows(rows.reference, rows.end, contains, hook, cancel);
}

}  // namespace norvalis
