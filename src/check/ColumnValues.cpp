#include "check/ColumnValues.h"

#include <algorithm>
#include <cstring>
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
  static constexpr std::size_t InlineBytes = 16;
  struct Entry {
    // The first bytes of the raw form beside it: telling a short cell from another then
    // reads nothing of the file far away.
    char head[InlineBytes];
    const char* data;
    std::uint64_t hash;
    std::uint64_t count;  // 0: a free slot
    std::uint32_t size;
    std::uint32_t firstRow;
    std::string_view Raw() const { return {data, size}; }
  };

  RawCounts() : slots_(64) {}

  // Counts `count` more rows holding raw, the first of them `row`. The entry's count, valid
  // until the next Add.
  std::uint64_t* Add(std::string_view raw, std::uint64_t hash, std::uint32_t row,
                     std::uint64_t count = 1) {
    std::size_t at = hash & (slots_.size() - 1);
    for (;;) {
      Entry& e = slots_[at];
      if (e.count == 0) {
        e.data = raw.data();
        e.hash = hash;
        e.count = count;
        e.size = static_cast<std::uint32_t>(raw.size());
        e.firstRow = row;
        if (!raw.empty()) std::memcpy(e.head, raw.data(), std::min(raw.size(), InlineBytes));
        if (++used_ * 2 <= slots_.size()) return &e.count;
        Grow();
        return Add(raw, hash, row, 0);
      }
      if (e.hash == hash && Same(e, raw)) {
        e.count += count;
        e.firstRow = std::min(e.firstRow, row);
        return &e.count;
      }
      at = (at + 1) & (slots_.size() - 1);
    }
  }

  const std::vector<Entry>& Slots() const { return slots_; }
  // Asks for the slot of a hash ahead of its Add: a column of many values misses the cache.
  void Prefetch(std::uint64_t hash) const {
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
  }

 private:
  static bool Same(const Entry& e, std::string_view raw) {
    if (e.size != raw.size()) return false;
    if (raw.size() <= InlineBytes)
      return raw.empty() || std::memcmp(e.head, raw.data(), raw.size()) == 0;
    return std::memcmp(e.data, raw.data(), raw.size()) == 0;
  }

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
  result.cancelled = !RowPass::Run(rows.reference, rows.end, parts, hook, cancel,
                                   [&](unsigned part, std::uint32_t begin, std::uint32_t end) {
                                     RawCounts& mine = counts[part];
                                     // Rows go in batches: their slots are fetched together, then
                                     // counted.
                                     constexpr std::uint32_t Batch = 16;
                                     std::string_view raws[Batch];
                                     std::uint64_t hashes[Batch];
                                     for (std::uint32_t at = begin; at < end; at += Batch) {
                                       const std::uint32_t n = std::min(Batch, end - at);
                                       for (std::uint32_t k = 0; k < n; ++k) {
                                         raws[k] = table.RawCell(at + k, col);
                                         hashes[k] = RowPass::HashRaw(raws[k]);
                                         mine.Prefetch(hashes[k]);
                                       }
                                       for (std::uint32_t k = 0; k < n; ++k)
                                         mine.Add(raws[k], hashes[k], at + k);
                                     }
                                   });
  if (result.cancelled) return result;
  for (unsigned part = 1; part < parts; ++part)
    for (const RawCounts::Entry& e : counts[part].Slots())
      if (e.count != 0) counts[0].Add(e.Raw(), e.hash, e.firstRow, e.count);

  // Raw forms that decode to one text are one value.
  std::unordered_map<UnicodeString, std::size_t> byText;
  UnicodeString text;
  for (const RawCounts::Entry& e : counts[0].Slots()) {
    if (e.count == 0) continue;
    table.CellText(e.Raw(), text);
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
