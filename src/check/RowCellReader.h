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
// and only the chosen cells asked for are decoded; any other row is read through the table.
class RowCellReader {
 public:
  RowCellReader(const CsvTable& table, std::vector<std::uint32_t> columns);
  // Cuts the row; the chosen cells are decoded when first asked for.
  void Read(std::uint32_t row);
  // The bytes whose decoding is the chosen cell's text, when the row was cut as bytes (false
  // for a row read another way); valid until the next Read.
  bool Content(std::uint32_t col, std::string_view& bytes) const {
    if (!plain_ || col >= cells_.size()) return false;
    bytes = content_[col];
    return true;
  }
  // The text of a chosen cell: valid until the next Read.
  const UnicodeString& Cell(std::uint32_t col) {
    if (col >= cells_.size()) return empty_;
    if (plain_ && !decoded_[col]) Decode(col);
    return cells_[col];
  }

 private:
  bool PlainFields(std::string_view row, std::size_t width);
  void Decode(std::uint32_t col);

  const CsvTable& table_;
  std::vector<std::uint32_t> columns_;
  std::vector<bool> chosen_;
  bool bytes_ = false;
  bool plain_ = false;  // the row read last was cut as bytes
  std::vector<UnicodeString> cells_;
  std::vector<std::string_view> content_;
  std::vector<std::uint8_t> decoded_;
  std::vector<std::pair<std::size_t, std::size_t>> fields_;
  // Per byte of the row read last: a stop byte.
  std::vector<std::uint64_t> stops_;
  std::string_view row_;
  // A row read through the table; a member, not thread_local: mingw's emulated TLS frees such
  // storage before its destructor runs when a worker thread ends.
  std::vector<UnicodeString> whole_;
  UnicodeString empty_;
};

}  // namespace norvalis
