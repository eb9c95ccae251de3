#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "check/RegexPattern.h"
#include "text/UnicodeString.h"

namespace norvalis {

enum class RuleKind {
  Required,
  Length,
  Sjis,
  SjisBytes,
  Jis,
  Chars,
  Values,
  Unique,
  Regex,
  Number,
  Date,
  Same,
};

// A range of counts; an end left out is open.
struct CountRange {
  std::optional<std::uint64_t> min;
  std::optional<std::uint64_t> max;
  bool Contains(std::uint64_t n) const { return (!min || n >= *min) && (!max || n <= *max); }
};

// A decimal as written: sign, digits without leading zeros, fraction without trailing zeros.
struct Decimal {
  bool negative = false;
  std::u16string integer;   // "0" for zero
  std::u16string fraction;  // may be empty
};
// A decimal of the rule's grammar (optional sign, digits, optional point and digits).
std::optional<Decimal> ParseDecimal(std::u16string_view text);
// -1, 0 or 1 as a is below, equal to or above b, exactly.
int CompareDecimals(const Decimal& a, const Decimal& b);

enum class DateFormat { Compact, Slashes, Hyphens, ShortSlashes };  // YYYYMMDD … YYYY/M/D
// Whether the text is a real date, years 0001–9999, in the format.
bool IsDate(std::u16string_view text, DateFormat format);

// A set of code points: sorted, disjoint ranges, with a bitmap of the BMP for the hot loop.
class CharSet {
 public:
  void Add(char32_t first, char32_t last);
  // Sorts and merges the ranges and builds the bitmap; call once after the last Add.
  void Seal();
  bool Contains(char32_t c) const {
    if (c < 0x10000) return (bits_[c >> 6] >> (c & 63)) & 1;
    return containsAstral(c);
  }

 private:
  bool containsAstral(char32_t c) const;
  std::vector<std::pair<char32_t, char32_t>> ranges_;
  std::vector<std::uint64_t> bits_;
};

// Hashes texts and views alike, so a cell is looked up without a copy.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::u16string_view text) const {
    return std::hash<std::u16string_view>{}(text);
  }
};
using TextSet = std::unordered_set<UnicodeString, TextHash, std::equal_to<>>;

// One rule on one column, parsed from "COL:KIND[=ARGUMENT]".
struct ColumnRule {
  UnicodeString text;      // the whole rule as given
  UnicodeString ruleText;  // what follows the column and its colon ("length=..30")
  std::uint32_t column = 0;
  RuleKind kind = RuleKind::Required;
  CountRange range;                  // length, sjis-bytes
  std::optional<Decimal> numberMin;  // number
  std::optional<Decimal> numberMax;
  DateFormat date = DateFormat::Compact;
  std::shared_ptr<const CharSet> chars;
  std::shared_ptr<const TextSet> values;
  std::shared_ptr<const RegexPattern> regex;
};

// Why a rule does not parse, and where: the 1-based character of the rule's text.
struct RuleError {
  UnicodeString rule;
  std::size_t position = 1;
  UnicodeString reason;
};
// "規則「…」の N 文字目: reason"
UnicodeString RuleErrorText(const RuleError& error);

// The rule, or the error; never raises.
struct RuleParse {
  std::optional<ColumnRule> rule;
  RuleError error;
};
RuleParse ParseColumnRule(std::u16string_view text);

// A project's rules: the ones that parse, and the errors of those left out (a project keeps
// them all; the check runs without the wrong ones and says which they are).
struct RuleList {
  std::vector<ColumnRule> rules;
  std::vector<RuleError> ignored;
};
RuleList ParseRuleList(std::span<const UnicodeString> texts);
// "正しくない規則を無視します: " followed by RuleErrorText.
UnicodeString IgnoredRuleText(const RuleError& error);

// Whether a cell breaks a rule that looks at the cell alone (not unique, not same). A regex
// that gives up counts as broken: the cell was not shown to match.
bool BreaksRule(const ColumnRule& rule, std::u16string_view cell,
                RegexPattern::Matcher* matcher = nullptr);

// Code points of a UTF-16 text: a surrogate pair is one, a lone half is itself.
template <class OnCodePoint>
void ForEachCodePoint(std::u16string_view text, OnCodePoint on) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    on(c);
  }
}

}  // namespace norvalis
