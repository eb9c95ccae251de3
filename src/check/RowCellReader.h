#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "csv/Csv.h"
#include "text/UnicodeString.h"

namespace norvalis {

// Reads the cells of chosen columns row by row, for a check that looks at a few columns of
// every row. Shift_JIS rows without anything unusual are cut here in one pass over their bytes
// and only the chosen cells decoded; any other row is read through the table.
class RowCellReader {
 public:
  RowCellReader(const CsvTable& table, std::vector<std::uint32_t> columns);
  // The chosen cells of the row: cell(col) is valid for a chosen column until the next Read.
  void Read(std::uint32_t row);
  const UnicodeString& Cell(std::uint32_t col) const {
    return col < cells_.size() ? cells_[col] : empty_;
  }

 private:
  bool PlainFields(std::string_view row, std::size_t width);

  const CsvTable& table_;
  std::vector<std::uint32_t> columns_;
  std::vector<bool> chosen_;
  bool bytes_ = false;
  std::vector<UnicodeString> cells_;
  std::vector<std::pair<std::size_t, std::size_t>> fields_;
  // Per byte of the row read last: a stop byte, a lead byte.
  std::vector<std::uint64_t> stops_;
  std::vector<std::uint64_t> leads_;
  // A row read through the table; a member, not thread_local: mingw's emulated TLS frees such
  // storage before its destructor runs when a worker thread ends.
  std::vector<UnicodeString> whole_;
  UnicodeString empty_;
};

}  // namespace norvalis
