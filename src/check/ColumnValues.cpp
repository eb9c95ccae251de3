#include "check/ColumnValues.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "check/ColumnCheck.h"
#include "check/RowPass.h"

namespace norvalis {

namespace {

// Raw cells counted by their stored units: equal units hold equal text, so a column is
// counted without decoding a cell; only each distinct raw form is decoded, at the end.
class RawCounts {
 public:
  struct Entry {
    std::string_view raw;
    std::uint64_t hash = 0;
    std::uint64_t count = 0;  // 0: a free slot
    std::uint32_t firstRow = 0;
  };

  RawCounts() : slots_(64) {}

  // Counts one more row holding raw; rows come in ascending order within one counter.
  void Add(std::string_view raw, std::uint64_t hash, std::uint32_t row, std::uint64_t count = 1) {
    std::size_t at = hash & (slots_.size() - 1);
    for (;;) {
      Entry& e = slots_[at];
      if (e.count == 0) {
        e = Entry{raw, hash, count, row};
        if (++used_ * 2 > slots_.size()) Grow();
        return;
      }
      if (e.hash == hash && RowPass::SameRaw(e.raw, raw)) {
        e.count += count;
        e.firstRow = std::min(e.firstRow, row);
        return;
      }
      at = (at + 1) & (slots_.size() - 1);
    }
  }

  const std::vector<Entry>& Slots() const { return slots_; }

 private:
  void Grow() {
    std::vector<Entry> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Entry& e : old) {
      if (e.count == 0) continue;
      std::size_t at = e.hash & (slots_.size() - 1);
      while (slots_[at].count != 0)
        at = (at + 1) & (slots_.size() - 1);
      slots_[at] = e;
    }
  }

  std::vector<Entry> slots_;
  std::size_t used_ = 0;
};

}  // namespace

ColumnValues CountColumnValues(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                               YieldHook* hook, const std::atomic<bool>* cancel) {
  ColumnValues result;
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (!rows.HasReference()) return result;
  result.hasRows = true;
  result.rows = rows.end - rows.reference;
  const std::uint32_t col = CheckTableColumn(column);

  const unsigned parts = RowPass::PartsFor(result.rows);
  std::vector<RawCounts> counts(parts);
  result.cancelled = !RowPass::Run(
      rows.reference, rows.end, parts, hook, cancel,
      [&](unsigned part, std::uint32_t begin, std::uint32_t end) {
        RawCounts& mine = counts[part];
        for (std::uint32_t row = begin; row < end; ++row) {
          const std::string_view raw = table.RawCell(row, col);
          mine.Add(raw, RowPass::HashRaw(raw), row);
        }
      });
  if (result.cancelled) return result;
  for (unsigned part = 1; part < parts; ++part)
    for (const RawCounts::Entry& e : counts[part].Slots())
      if (e.count != 0) counts[0].Add(e.raw, e.hash, e.firstRow, e.count);

  // Raw forms that decode to one text are one value.
  std::unordered_map<UnicodeString, std::size_t> byText;
  UnicodeString text;
  for (const RawCounts::Entry& e : counts[0].Slots()) {
    if (e.count == 0) continue;
    table.CellText(e.raw, text);
    const auto [it, added] = byText.try_emplace(text, result.values.size());
    if (added) {
      result.values.push_back(ColumnValue{text, e.count, e.firstRow});
    } else {
      ColumnValue& value = result.values[it->second];
      value.count += e.count;
      value.firstRow = std::min(value.firstRow, e.firstRow);
    }
  }
  std::sort(result.values.begin(), result.values.end(),
            [](const ColumnValue& a, const ColumnValue& b) {
              return a.count != b.count ? a.count > b.count : a.firstRow < b.firstRow;
            });
  return result;
}

}  // namespace norvalis
