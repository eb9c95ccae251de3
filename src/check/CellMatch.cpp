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

bool CellMatch::operator()(std::string_view raw) {
  // Equal stored units hold equal text; only cells stored otherwise are decoded, since
  // different bytes may still decode to the same text.
  if (haveKnown_ && RowPass::SameRaw(raw, knownRaw_)) return true;
  if (raw.empty()) return text_.empty();
  Answer& answer = answers_[RowPass::HashRaw(raw) % Slots];
  if (answer.known && RowPass::SameRaw(answer.raw, raw)) return answer.match;
  table_->CellText(raw, scratch_);
  answer = Answer{raw, true, SameCellText(scratch_, text_)};
  return answer.match;
}

}  // namespace norvalis
