#pragma once

#include <cstdint>
#include <limits>
#include <memory>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// The most a table may hold; the defaults are what CsvTable's 32-bit fields can address.
struct CsvTableLimits {
  std::uint64_t rows = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t cellsPerRow = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t rowText = std::numeric_limits<std::uint32_t>::max();
};

// Cuts a decoded text into a CsvTable, writing the cell texts into the text's own buffer.
// Internal to the csv layer; TCsv is the public way in.
class CsvTableBuilder {
 public:
  using Limits = CsvTableLimits;

  struct Result {
    bool ok = false;                        // false when the text exceeds the limits
    std::shared_ptr<const CsvTable> table;  // null when the text yields no rows
  };

  // Parses the text by the CSV dialect (same table as ParseCsvText, padded on reading).
  static Result Build(UnicodeString&& text, YieldHook& yield, const Limits& limits = {});

  // How many cells the table stores (rows are kept ragged, not padded).
  static std::uint64_t StoredCellCount(const CsvTable& table) { return table.cellEnd_.size(); }

 private:
  class Parser;
};

}  // namespace norvalis
