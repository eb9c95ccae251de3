// The CSV parse: any text loads; the table is rectangular and equals the literal parse,
// padded; no cell holds a code unit the dialect drops.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "FuzzInput.h"
#include "csv/Csv.h"

using namespace norvalis;

namespace {

bool isDropped(char16_t u) {
  if (u > 0x80) return false;
  return u != u'\t' && u != u'\n' && (u < 0x20 || u >= 0x7F);
}

void checkTable(const TCsv& csv, const CsvRows& literal) {
  const std::uint32_t rowCount = csv.GetRowCount();
  const std::uint32_t colCount = csv.GetColCount();
  fuzz::Require((rowCount == 0) == (colCount == 0), "rows without columns");
  fuzz::Require(csv.IsEmpty() == (rowCount == 0), "empty state");
  fuzz::Require(literal.size() == rowCount, "row count differs from the literal parse");

  // Rows before content may be empty; the last one always holds a cell.
  fuzz::Require(literal.empty() || !literal.back().empty(), "last row without cells");
  std::size_t widest = 0;
  for (const auto& row : literal)
    widest = std::max(widest, row.size());
  fuzz::Require(widest == colCount, "column count differs from the widest literal row");

  const CsvRows rows = csv.GetRows();
  fuzz::Require(rows.size() == rowCount, "GetRows size");
  for (std::uint32_t r = 0; r < rowCount; ++r) {
    fuzz::Require(rows[r].size() == colCount, "table not rectangular");
    for (std::uint32_t c = 0; c < colCount; ++c) {
      const UnicodeString& expected = c < literal[r].size() ? literal[r][c] : UnicodeString();
      fuzz::Require(rows[r][c] == expected, "cell differs from the literal parse");
      fuzz::Require(csv.GetCell(r, c) == expected, "GetCell differs from GetRows");
      for (const char16_t u : expected)
        fuzz::Require(!isDropped(u), "cell holds a dropped code unit");
    }
    fuzz::Require(csv.GetCell(r, colCount).empty(), "read right of the table");
  }
  fuzz::Require(csv.GetCell(rowCount, 0).empty(), "read below the table");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const UnicodeString text =
      fuzz::TextOfBytes(fuzz::AsBytes(data + 1, size - 1), (data[0] & 1) != 0);
  const CsvRows literal = ParseCsvText(text);

  TCsv csv;
  fuzz::Require(csv.LoadFromText(text), "load of an empty table failed");
  checkTable(csv, literal);

  TCsv moved;
  fuzz::Require(moved.LoadFromText(UnicodeString(text)), "load of an empty table failed");
  fuzz::Require(moved.GetRows() == csv.GetRows(), "moved text parses differently");

  if (!csv.IsEmpty()) {
    const CsvRows before = csv.GetRows();
    fuzz::Require(!csv.LoadFromText(u"x"), "a loaded table took a second load");
    fuzz::Require(csv.GetRows() == before, "refused load changed the table");
  }
  return 0;
}
