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

// Distinct raw forms numbered in the order they are first met, up to a most (NoForm after).
class RawForms {
 public:
  explicit RawForms(std::size_t most) : most_(most), slots_(2 * most, Differences::NoForm) {}
  std::uint32_t Id(std::string_view raw) {
    std::size_t at = RowPass::HashRaw(raw) & (slots_.size() - 1);
    for (;;) {
      const std::uint32_t id = slots_[at];
      if (id == Differences::NoForm) break;
      if (RowPass::SameRaw(raws_[id], raw)) return id;
      at = (at + 1) & (slots_.size() - 1);
    }
    if (raws_.size() >= most_) return Differences::NoForm;
    slots_[at] = static_cast<std::uint32_t>(raws_.size());
    raws_.push_back(raw);
    return slots_[at];
  }
  const std::vector<std::string_view>& Raws() const { return raws_; }

 private:
  std::size_t most_;
  std::vector<std::uint32_t> slots_;  // a power of two, at most half full
  std::vector<std::string_view> raws_;
};

// A row whose cell in the column holds (or does not hold) a text.
struct CellIs {
  const CsvTable* table;
  std::uint32_t col;
  CellMatch match;
  bool with;
  bool operator()(std::uint32_t row) { return match(table->RawCell(row, col)) == with; }
};

}  // namespace

Differences FindDifferences(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                            YieldHook* hook, const std::atomic<bool>* cancel, bool withForms) {
  Differences result;
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (!rows.HasReference()) return result;
  const std::uint32_t col = CheckTableColumn(column);
  const std::string_view referenceRaw = table.RawCell(rows.reference, col);
  result.reference = table.CellText(referenceRaw);
  if (rows.end > rows.first) {
    const unsigned parts = RowPass::PartsFor(rows.end - rows.first);
    struct Part {
      RowList rows;
      std::vector<std::uint32_t> forms;
      RawForms known;
    };
    std::vector<Part> found;
    for (unsigned p = 0; p < parts; ++p)
      found.push_back(Part{{}, {}, RawForms(withForms ? Differences::MaxForms : 0)});
    std::vector<CellMatch> matches(parts, CellMatch(table, result.reference, referenceRaw));
    result.cancelled = !RowPass::Run(rows.first, rows.end, parts, hook, cancel,
                                     [&](unsigned p, std::uint32_t begin, std::uint32_t end) {
                                       Part& part = found[p];
                                       for (std::uint32_t row = begin; row < end; ++row) {
                                         const std::string_view raw = table.RawCell(row, col);
                                         if (matches[p](raw)) continue;
                                         part.rows.push_back(row);
                                         if (withForms) part.forms.push_back(part.known.Id(raw));
                                       }
                                     });
    std::size_t total = 0;
    for (const Part& part : found)
      total += part.rows.size();
    result.rows.reserve(total);
    if (withForms) result.forms.reserve(total);
    RawForms all{Differences::MaxForms};
    for (Part& part : found) {
      result.rows.insert(result.rows.end(), part.rows.begin(), part.rows.end());
      part.rows = {};
      if (!withForms) continue;
      // The part's forms renumbered as the whole list's.
      std::vector<std::uint32_t> ids;
      for (const std::string_view raw : part.known.Raws())
        ids.push_back(all.Id(raw));
      for (const std::uint32_t id : part.forms)
        result.forms.push_back(id == Differences::NoForm ? id : ids[id]);
    }
    if (withForms) result.formRaws = all.Raws();
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
