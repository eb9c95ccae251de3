#pragma once

#include <atomic>
#include <cstdint>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// What to look for, and where from. Positions are table rows and columns.
struct CellSearchRequest {
  UnicodeString text;
  bool caseSensitive = false;
  bool forward = true;
  std::uint32_t firstRow = 0;  // rows above it (the title line) are not searched
  std::uint32_t row = 0;       // the current cell: the search starts just after (or before) it
  std::uint32_t col = 0;
};

struct CellSearchResult {
  enum class Outcome { Found, NotFound, Cancelled };
  Outcome outcome = Outcome::NotFound;
  std::uint32_t row = 0;
  std::uint32_t col = 0;
};

// The text as CellContains takes it: folded when the case does not count.
UnicodeString SearchText(std::u16string_view text, bool caseSensitive);
// Whether the cell contains text (made by SearchText); folded is scratch room.
bool CellContains(std::u16string_view cell, std::u16string_view text, bool caseSensitive,
                  UnicodeString& folded);

// Looks for a cell containing the text, along the rows from the cell after the current one
// (or before it, backwards), wrapping once, so the current cell itself comes last. Each row's
// cells are read once. The hook gets (rows searched, rows to search) on elapsed time; the
// search stops soon after *cancel becomes true.
CellSearchResult SearchCells(const CsvTable& table, const CellSearchRequest& request,
                             YieldHook* hook = nullptr, const std::atomic<bool>* cancel = nullptr);

}  // namespace norvalis
