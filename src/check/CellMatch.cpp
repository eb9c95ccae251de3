#include "check/CellMatch.h"

#include <utility>

#include "check/ColumnCheck.h"
#include "check/RowPass.h"

namespace norvalis {

CellMatch::CellMatch(const CsvTable& table, UnicodeString text, std::string_view knownRaw)
    : table_(&table),
      text_(std::move(text)),
      knownRaw_(knownRaw),
      haveKnown_(!knownRaw.empty() || text_.empty()) {}

bool CellMatch::Lookup(std::string_view raw) {
  if (raw.empty()) return text_.empty();
  last_ = RowPass::HashRaw(raw) % Slots;
  Answer& answer = answers_[last_];
  if (answer.known && RowPass::SameRaw(answer.raw, raw)) return answer.match;
  table_->CellText(raw, scratch_);
  answer = Answer{raw, true, SameCellText(scratch_, text_)};
  return answer.match;
}

}  // namespace norvalis
