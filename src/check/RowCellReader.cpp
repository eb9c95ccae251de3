#include "check/RowCellReader.h"

#include <algorithm>
#include <array>

#include "text/CodePage.h"
#include "text/StringUtility.h"

namespace norvalis {

namespace {

// Bytes that end a plain run: the quote, the comma, and what the dialect may drop (controls,
// 7F, and 80, which is U+0080 on its own and only rarely a trail byte).
struct StopBytes {
  std::array<bool, 256> of{};
  StopBytes() {
    for (unsigned b = 0; b < 0x20; ++b)
      of[b] = true;
    of['"'] = of[','] = of[0x7F] = of[0x80] = true;
  }
};

// The content (between any quotes) of every field of a plain Shift_JIS row; false for a row
// the plain cut does not cover. A quote or a comma is never a trail byte, so the bytes are cut
// as they are.
bool plainFields(std::string_view row, std::vector<std::pair<std::size_t, std::size_t>>& fields) {
  static const StopBytes stop;
  fields.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(row.data());
  std::size_t n = row.size();
  if (n > 0 && p[n - 1] == '\n') --n;
  if (n > 0 && p[n - 1] == '\r') --n;
  std::size_t i = 0;
  for (;;) {
    const bool quoted = i < n && p[i] == '"';
    const std::size_t begin = quoted ? i + 1 : i;
    std::size_t j = begin;
    for (;;) {
      while (j < n && !stop.of[p[j]])
        ++j;
      if (j < n && p[j] == ',' && quoted) {
        ++j;
        continue;
      }
      break;
    }
    if (quoted) {
      if (j >= n || p[j] != '"') return false;
      fields.emplace_back(begin, j);
      ++j;
    } else {
      if (j < n && p[j] != ',') return false;
      fields.emplace_back(begin, j);
    }
    if (j >= n) return true;
    if (p[j] != ',') return false;
    i = j + 1;
  }
}

}  // namespace

RowCellReader::RowCellReader(const CsvTable& table, std::vector<std::uint32_t> columns)
    : table_(table),
      columns_(std::move(columns)),
      bytes_(table.RawIsBytes() && table.CodePage() == CodePage::ShiftJis) {
  std::sort(columns_.begin(), columns_.end());
  columns_.erase(std::unique(columns_.begin(), columns_.end()), columns_.end());
  const std::uint32_t width = columns_.empty() ? 0 : columns_.back() + 1;
  cells_.resize(std::min(width, table.ColCount()));
  chosen_.assign(cells_.size(), false);
  for (const std::uint32_t col : columns_)
    if (col < chosen_.size()) chosen_[col] = true;
}

void RowCellReader::Read(std::uint32_t row) {
  if (bytes_) {
    const std::string_view raw = table_.RowLine(row);
    if (plainFields(raw, fields_)) {
      for (std::uint32_t col = 0; col < cells_.size(); ++col) {
        if (!chosen_[col]) continue;
        UnicodeString& cell = cells_[col];
        cell.clear();
        if (col >= fields_.size()) continue;
        const auto [begin, end] = fields_[col];
        TStringUtility::AppendConvertedPiece(raw.substr(begin, end - begin), CodePage::ShiftJis,
                                             false, cell);
      }
      return;
    }
  }
  table_.RowCells(row, whole_);
  for (std::uint32_t col = 0; col < cells_.size(); ++col)
    if (chosen_[col]) cells_[col].swap(whole_[col]);
}

}  // namespace norvalis
