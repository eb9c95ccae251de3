#include "check/CellSearch.h"

#include <algorithm>
#include <vector>

#include "check/CaseFold.h"

namespace norvalis {

namespace {

// Rows between two looks at the clock and at the cancel flag.
constexpr std::uint64_t RowsPerTick = 1 << 11;

}  // namespace

UnicodeString SearchText(std::u16string_view text, bool caseSensitive) {
  UnicodeString out(text);
  if (!caseSensitive) CaseFold::Fold(text, out);
  return out;
}

bool CellContains(std::u16string_view cell, std::u16string_view text, bool caseSensitive,
                  UnicodeString& folded) {
  if (cell.size() < text.size()) return false;
  if (caseSensitive) return cell.find(text) != std::u16string_view::npos;
  // Both folded (the text already is), so full-width and other letters beyond ASCII match in
  // either case too.
  CaseFold::Fold(cell, folded);
  return std::u16string_view(folded).find(text) != std::u16string_view::npos;
}

CellSearchResult SearchCells(const CsvTable& table, const CellSearchRequest& request,
                             YieldHook* hook, const std::atomic<bool>* cancel) {
  CellSearchResult result;
  const std::uint32_t rowCount = table.RowCount();
  const std::uint32_t cols = table.ColCount();
  if (request.text.empty() || cols == 0 || request.firstRow >= rowCount) return result;
  const std::uint64_t rows = rowCount - request.firstRow;
  const std::uint64_t startRow =
      request.row < request.firstRow
          ? 0
          : std::min<std::uint64_t>(request.row - request.firstRow, rows - 1);
  const std::uint32_t startCol = std::min(request.col, cols - 1);

  const UnicodeString text = SearchText(request.text, request.caseSensitive);
  UnicodeString folded;
  std::vector<UnicodeString> cells;
  if (hook != nullptr) hook->Force(0, rows + 1);
  // The start row twice: the cells after the current one first, the rest of it last.
  for (std::uint64_t k = 0; k <= rows; ++k) {
    const std::uint64_t step = request.forward ? startRow + k : startRow + rows - k % rows;
    const auto row = static_cast<std::uint32_t>(request.firstRow + step % rows);
    // Columns [begin, end) of this row, in search order.
    std::int64_t begin = 0;
    std::int64_t end = cols;
    if (request.forward) {
      if (k == 0) begin = static_cast<std::int64_t>(startCol) + 1;
      if (k == rows) end = static_cast<std::int64_t>(startCol) + 1;
    } else {
      if (k == 0) end = startCol;
      if (k == rows) begin = startCol;
    }
    if (begin < end) {
      table.RowCells(row, cells);
      for (std::int64_t i = 0; i < end - begin; ++i) {
        const std::int64_t col = request.forward ? begin + i : end - 1 - i;
        if (CellContains(cells[static_cast<std::size_t>(col)], text, request.caseSensitive,
                         folded)) {
          result.outcome = CellSearchResult::Outcome::Found;
          result.row = row;
          result.col = static_cast<std::uint32_t>(col);
          return result;
        }
      }
    }
    if ((k % RowsPerTick) == RowsPerTick - 1) {
      if (hook != nullptr) hook->Tick(k + 1, rows + 1);
      if (cancel != nullptr && cancel->load()) {
        result.outcome = CellSearchResult::Outcome::Cancelled;
        return result;
      }
    }
  }
  return result;
}

}  // namespace norvalis
