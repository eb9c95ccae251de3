#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "csv/Csv.h"
#include "text/UnicodeString.h"

namespace norvalis {

// Whether raw cells of a table hold one text, by the check's comparison (SameCellText). Cells
// stored as the text's known raw units are answered without decoding, and the answers for
// recent raw forms are remembered, since a column mostly repeats a few. One per thread.
class CellMatch {
 public:
  // knownRaw: raw units of this table known to hold text (the reference cell), or empty.
  CellMatch(const CsvTable& table, UnicodeString text, std::string_view knownRaw = {});

  bool operator()(std::string_view raw);
  const UnicodeString& Text() const { return text_; }

 private:
  struct Answer {
    std::string_view raw;
    bool known = false;
    bool match = false;
  };
  static constexpr std::size_t Slots = 256;

  const CsvTable* table_;
  UnicodeString text_;
  std::string_view knownRaw_;
  bool haveKnown_;
  UnicodeString scratch_;
  std::array<Answer, Slots> answers_{};
};

}  // namespace norvalis
