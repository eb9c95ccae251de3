// A rule and a cell from the input: a rule either parses or says where it went wrong (within
// the text), and a parsed rule judges any cell without failing or running on.

#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "check/ColumnRule.h"

using namespace norvalis;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool pairs = (data[0] & 1) != 0;
  const UnicodeString text = fuzz::TextOfBytes(fuzz::AsBytes(data + 1, size - 1), pairs);
  const std::size_t cut = text.find(u'\x01');
  const std::u16string_view rule = std::u16string_view(text).substr(0, cut);
  const std::u16string_view cell = cut == UnicodeString::npos
                                       ? std::u16string_view()
                                       : std::u16string_view(text).substr(cut + 1);
  const RuleParse parse = ParseColumnRule(rule);
  if (!parse.rule) {
    fuzz::Require(parse.error.position >= 1 && parse.error.position <= rule.size() + 1,
                  "an error's position lies within the rule");
    fuzz::Require(!parse.error.reason.empty(), "an error says why");
    return 0;
  }
  fuzz::Require(parse.rule->text == rule, "the rule keeps its text");
  BreaksRule(*parse.rule, cell);
  return 0;
}
