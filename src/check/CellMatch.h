#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "check/RowPass.h"
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

  bool operator()(std::string_view raw) {
    // Equal stored units hold equal text; only cells stored otherwise are decoded, since
    // different bytes may still decode to the same text.
    if (haveKnown_ && RowPass::SameRaw(raw, knownRaw_)) return true;
    // A column often holds one value for many rows in a row: the answer before is tried first.
    if (last_ < Slots && !raw.empty() && RowPass::SameRaw(answers_[last_].raw, raw))
      return answers_[last_].match;
    return Lookup(raw);
  }
  const UnicodeString& Text() const { return text_; }

 private:
  struct Answer {
    std::string_view raw;
    bool known = false;
    bool match = false;
  };
  static constexpr std::size_t Slots = 256;
  bool Lookup(std::string_view raw);

  const CsvTable* table_;
  UnicodeString text_;
  std::string_view knownRaw_;
  bool haveKnown_;
  UnicodeString scratch_;
  std::array<Answer, Slots> answers_{};
  std::size_t last_ = Slots;  // the slot of the cell before (an index: the object is copied)
};

}  // namespace norvalis
