#include "check/ColumnRule.h"

#include <algorithm>
#include <array>

#include "csv/CsvUtility.h"
#include "text/CommaText.h"
#include "text/Cp932Facts.h"

namespace norvalis {

namespace {

// Counts beyond this are no count a cell can reach; a longer number is a mistake.
constexpr std::size_t MaxCountDigits = 15;
constexpr std::uint32_t MaxColumnNumberDigits = 9;

struct NamedSet {
  std::u16string_view name;
  std::initializer_list<std::pair<char32_t, char32_t>> ranges;
};

// The banks' set for transfer names is the half-width part of the Zengin (全銀協) transfer
// record's character set, as banks publish it for 総合振込 files: ｱ–ﾝ with ﾞ ﾟ, A–Z, 0–9, space
// and ( ) - . — narrowed as the receiving banks check names: no ｦ, no small kana, no ｰ.
const NamedSet NamedSets[] = {
    {u"digits", {{U'0', U'9'}}},
    {u"upper", {{U'A', U'Z'}}},
    {u"lower", {{U'a', U'z'}}},
    {u"kana", {{0xFF61, 0xFF9F}}},
    {u"zengin",
     {{0xFF71, 0xFF9F}, {U'A', U'Z'}, {U'0', U'9'}, {U' ', U' '}, {U'(', U')'}, {U'-', U'.'}}},
    {u"fullwidth", {{0x0000, 0x001F}, {0x007F, 0xFF60}, {0xFFA0, 0x10FFFF}}},
};

struct KindName {
  std::u16string_view name;
  RuleKind kind;
  enum { None, Optional, Required } argument;
};

const KindName KindNames[] = {
    {u"required", RuleKind::Required, KindName::None},
    {u"length", RuleKind::Length, KindName::Required},
    {u"sjis", RuleKind::Sjis, KindName::None},
    {u"sjis-bytes", RuleKind::SjisBytes, KindName::Required},
    {u"jis", RuleKind::Jis, KindName::None},
    {u"chars", RuleKind::Chars, KindName::Required},
    {u"values", RuleKind::Values, KindName::Required},
    {u"unique", RuleKind::Unique, KindName::None},
    {u"regex", RuleKind::Regex, KindName::Required},
    {u"number", RuleKind::Number, KindName::Optional},
    {u"date", RuleKind::Date, KindName::Required},
    {u"same", RuleKind::Same, KindName::None},
};

struct DateName {
  std::u16string_view name;
  DateFormat format;
};
const DateName DateNames[] = {
    {u"YYYYMMDD", DateFormat::Compact},
    {u"YYYY/MM/DD", DateFormat::Slashes},
    {u"YYYY-MM-DD", DateFormat::Hyphens},
    {u"YYYY/M/D", DateFormat::ShortSlashes},
};

bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// A failure at a code unit of the rule's text.
struct Failure {
  std::size_t offset;
  UnicodeString reason;
};

// A count of 1–15 digits at [begin, end) of text.
std::optional<std::uint64_t> parseCount(std::u16string_view text, std::size_t begin,
                                        std::optional<Failure>& failure) {
  if (text.empty()) {
    failure = Failure{begin, u"数がありません"};
    return std::nullopt;
  }
  std::uint64_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isDigit(text[i])) {
      failure = Failure{begin + i, u"半角数字ではありません"};
      return std::nullopt;
    }
    if (i >= MaxCountDigits) {
      failure = Failure{begin + i, u"数が大きすぎます"};
      return std::nullopt;
    }
    n = n * 10 + (text[i] - u'0');
  }
  return n;
}

// "MIN..MAX", "..MAX", "MIN..", or "N" (exactly N).
std::optional<CountRange> parseRange(std::u16string_view text, std::size_t begin,
                                     std::optional<Failure>& failure) {
  CountRange range;
  const std::size_t dots = text.find(u"..");
  if (dots == std::u16string_view::npos) {
    range.min = parseCount(text, begin, failure);
    if (!range.min) return std::nullopt;
    range.max = range.min;
    return range;
  }
  const std::u16string_view low = text.substr(0, dots);
  const std::u16string_view high = text.substr(dots + 2);
  if (low.empty() && high.empty()) {
    failure = Failure{begin, u"範囲の両端がありません"};
    return std::nullopt;
  }
  if (!low.empty() && !(range.min = parseCount(low, begin, failure))) return std::nullopt;
  if (!high.empty() && !(range.max = parseCount(high, begin + dots + 2, failure))) {
    return std::nullopt;
  }
  if (range.min && range.max && *range.min > *range.max) {
    failure = Failure{begin, u"範囲の下限が上限を超えています"};
    return std::nullopt;
  }
  return range;
}

// The code point at text[i], advancing i past it.
char32_t takeCodePoint(std::u16string_view text, std::size_t& i) {
  char32_t c = text[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  return c;
}

std::shared_ptr<const CharSet> parseCharSet(std::u16string_view text, std::size_t begin,
                                            std::optional<Failure>& failure) {
  auto set = std::make_shared<CharSet>();
  if (text.empty()) {
    failure = Failure{begin, u"文字がありません"};
    return nullptr;
  }
  // One literal character (escaped or not) at i; a named set is no literal.
  const auto literal = [&](std::size_t& i) -> std::optional<char32_t> {
    if (text[i] == u'\\') {
      if (i + 1 >= text.size()) {
        failure = Failure{begin + i, u"「\\」のあとに文字がありません"};
        return std::nullopt;
      }
      ++i;
    } else if (text[i] == u'{') {
      failure = Failure{begin + i, u"範囲の端に名前付きの集合は使えません"};
      return std::nullopt;
    }
    return takeCodePoint(text, i);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'{') {
      const std::size_t close = text.find(u'}', i);
      const std::u16string_view name = close == std::u16string_view::npos
                                           ? std::u16string_view()
                                           : text.substr(i + 1, close - i - 1);
      const auto* named = std::find_if(std::begin(NamedSets), std::end(NamedSets),
                                       [&](const NamedSet& s) { return s.name == name; });
      if (close == std::u16string_view::npos || named == std::end(NamedSets)) {
        failure = Failure{begin + i,
                          u"不明な文字集合です（{digits} {upper} {lower} {kana} {zengin} "
                          u"{fullwidth} のどれか、「{」そのものは \\{）"};
        return nullptr;
      }
      for (const auto& [first, last] : named->ranges)
        set->Add(first, last);
      i = close + 1;
      continue;
    }
    const std::size_t at = i;
    const std::optional<char32_t> first = literal(i);
    if (!first) return nullptr;
    // A "-" between two characters makes a range; first or last it is itself.
    if (i + 1 < text.size() && text[i] == u'-') {
      ++i;
      const std::optional<char32_t> last = literal(i);
      if (!last) return nullptr;
      if (*last < *first) {
        failure = Failure{begin + at, u"範囲の始めが終わりより後ろの文字です"};
        return nullptr;
      }
      set->Add(*first, *last);
    } else {
      set->Add(*first, *first);
    }
  }
  set->Seal();
  return set;
}

std::optional<ColumnRule> parseArgument(ColumnRule rule, RuleKind kind,
                                        std::u16string_view argument, std::size_t begin,
                                        std::optional<Failure>& failure) {
  rule.kind = kind;
  switch (kind) {
    case RuleKind::Length:
    case RuleKind::SjisBytes: {
      const std::optional<CountRange> range = parseRange(argument, begin, failure);
      if (!range) return std::nullopt;
      rule.range = *range;
      return rule;
    }
    case RuleKind::Chars:
      rule.chars = parseCharSet(argument, begin, failure);
      if (!rule.chars) return std::nullopt;
      return rule;
    case RuleKind::Values: {
      const std::vector<UnicodeString> entries = CommaText::Split(argument);
      if (entries.empty()) {
        failure = Failure{begin, u"値がありません（空欄だけを許すには \"\"）"};
        return std::nullopt;
      }
      rule.values = std::make_shared<TextSet>(entries.begin(), entries.end());
      return rule;
    }
    case RuleKind::Regex: {
      RegexPattern::Error error;
      rule.regex = RegexPattern::Compile(argument, error);
      if (!rule.regex) {
        failure = Failure{begin + std::min(error.offset, argument.size()),
                          u"正規表現が正しくありません: " + error.message};
        return std::nullopt;
      }
      return rule;
    }
    case RuleKind::Number: {
      if (argument.data() == nullptr) return rule;
      const std::size_t dots = argument.find(u"..");
      const std::u16string_view low =
          dots == std::u16string_view::npos ? argument : argument.substr(0, dots);
      const std::u16string_view high =
          dots == std::u16string_view::npos ? argument : argument.substr(dots + 2);
      if (low.empty() && high.empty()) {
        failure = Failure{begin, u"範囲の両端がありません"};
        return std::nullopt;
      }
      if (!low.empty() && !(rule.numberMin = ParseDecimal(low))) {
        failure = Failure{begin, u"下限が数ではありません"};
        return std::nullopt;
      }
      if (!high.empty() && !(rule.numberMax = ParseDecimal(high))) {
        failure = Failure{dots == std::u16string_view::npos ? begin : begin + dots + 2,
                          u"上限が数ではありません"};
        return std::nullopt;
      }
      if (rule.numberMin && rule.numberMax &&
          CompareDecimals(*rule.numberMin, *rule.numberMax) > 0) {
        failure = Failure{begin, u"範囲の下限が上限を超えています"};
        return std::nullopt;
      }
      return rule;
    }
    case RuleKind::Date: {
      for (const DateName& d : DateNames) {
        if (d.name == argument) {
          rule.date = d.format;
          return rule;
        }
      }
      failure =
          Failure{begin, u"日付の書式は YYYYMMDD, YYYY/MM/DD, YYYY-MM-DD, YYYY/M/D のどれかです"};
      return std::nullopt;
    }
    default:
      return rule;
  }
}

// The 1-based character of a code unit offset.
std::size_t characterPosition(std::u16string_view text, std::size_t offset) {
  std::size_t position = 1;
  ForEachCodePoint(text.substr(0, std::min(offset, text.size())), [&](char32_t) { ++position; });
  return position;
}

std::optional<std::uint32_t> parseColumn(std::u16string_view text) {
  const std::int32_t fromLetters = TCsvUtility::LettersToColumnIndex(text);
  if (fromLetters >= 0) return static_cast<std::uint32_t>(fromLetters);
  if (text.empty() || text.size() > MaxColumnNumberDigits ||
      !std::all_of(text.begin(), text.end(), isDigit)) {
    return std::nullopt;
  }
  std::uint32_t n = 0;
  for (const char16_t c : text)
    n = n * 10 + (c - u'0');
  if (n == 0) return std::nullopt;
  return n - 1;
}

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 12> Days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : Days[static_cast<std::size_t>(month - 1)];
}

// Reads exactly n digits at text[i] (or 1–2 when n is 0) into value.
bool readDigits(std::u16string_view text, std::size_t& i, int n, int& value) {
  const std::size_t start = i;
  const std::size_t most = n == 0 ? 2 : static_cast<std::size_t>(n);
  value = 0;
  while (i < text.size() && i - start < most && isDigit(text[i]))
    value = value * 10 + (text[i++] - u'0');
  return n == 0 ? i > start : i - start == most;
}

}  // namespace

void CharSet::Add(char32_t first, char32_t last) {
  ranges_.emplace_back(first, last);
}

void CharSet::Seal() {
  std::sort(ranges_.begin(), ranges_.end());
  std::vector<std::pair<char32_t, char32_t>> merged;
  for (const auto& r : ranges_) {
    if (!merged.empty() && r.first <= merged.back().second + 1) {
      merged.back().second = std::max(merged.back().second, r.second);
    } else {
      merged.push_back(r);
    }
  }
  ranges_ = std::move(merged);
  bits_.assign(0x10000 / 64, 0);
  for (const auto& [first, last] : ranges_) {
    for (char32_t c = first; c <= std::min<char32_t>(last, 0xFFFF); ++c)
      bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
  }
}

bool CharSet::containsAstral(char32_t c) const {
  const auto it =
      std::upper_bound(ranges_.begin(), ranges_.end(), std::make_pair(c, char32_t{0x7FFFFFFF}));
  return it != ranges_.begin() && std::prev(it)->second >= c;
}

std::optional<Decimal> ParseDecimal(std::u16string_view text) {
  Decimal d;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) d.negative = text[i++] == u'-';
  const std::size_t intStart = i;
  while (i < text.size() && isDigit(text[i]))
    ++i;
  if (i == intStart) return std::nullopt;
  std::u16string_view integer = text.substr(intStart, i - intStart);
  std::u16string_view fraction;
  if (i < text.size()) {
    if (text[i] != u'.') return std::nullopt;
    const std::size_t fracStart = ++i;
    while (i < text.size() && isDigit(text[i]))
      ++i;
    if (i == fracStart || i != text.size()) return std::nullopt;
    fraction = text.substr(fracStart);
  }
  while (integer.size() > 1 && integer.front() == u'0')
    integer.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == u'0')
    fraction.remove_suffix(1);
  d.integer = integer;
  d.fraction = fraction;
  // Zero has no sign: -0 equals 0.
  if (d.integer == u"0" && d.fraction.empty()) d.negative = false;
  return d;
}

int CompareDecimals(const Decimal& a, const Decimal& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int magnitude = 0;
  if (a.integer.size() != b.integer.size()) {
    magnitude = a.integer.size() < b.integer.size() ? -1 : 1;
  } else if (const int c = a.integer.compare(b.integer); c != 0) {
    magnitude = c < 0 ? -1 : 1;
  } else if (const int f = a.fraction.compare(b.fraction); f != 0) {
    // Fractions without trailing zeros compare as texts: "5" > "49", "5" < "51".
    magnitude = f < 0 ? -1 : 1;
  }
  return a.negative ? -magnitude : magnitude;
}

bool IsDate(std::u16string_view text, DateFormat format) {
  std::size_t i = 0;
  int year = 0;
  int month = 0;
  int day = 0;
  const char16_t separator = format == DateFormat::Hyphens ? u'-' : u'/';
  const int width = format == DateFormat::ShortSlashes ? 0 : 2;
  if (!readDigits(text, i, 4, year)) return false;
  if (format != DateFormat::Compact) {
    if (i >= text.size() || text[i++] != separator) return false;
  }
  if (!readDigits(text, i, width, month)) return false;
  if (format != DateFormat::Compact) {
    if (i >= text.size() || text[i++] != separator) return false;
  }
  if (!readDigits(text, i, width, day)) return false;
  if (i != text.size() || year < 1 || month < 1 || month > 12 || day < 1) return false;
  return day <= daysInMonth(year, month);
}

UnicodeString RuleErrorText(const RuleError& error) {
  return Format(u"規則「%s」の %d 文字目: %s",
                {std::u16string_view(error.rule), static_cast<long long>(error.position),
                 std::u16string_view(error.reason)});
}

RuleParse ParseColumnRule(std::u16string_view text) {
  RuleParse parse;
  parse.error.rule = text;
  const auto fail = [&](std::size_t offset, UnicodeString reason) {
    parse.error.position = characterPosition(text, offset);
    parse.error.reason = std::move(reason);
    return parse;
  };
  const std::size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos) return fail(text.size(), u"列のあとに「:」がありません");
  const std::optional<std::uint32_t> column = parseColumn(text.substr(0, colon));
  if (!column) return fail(0, u"列は A … XFD か 1 から始まる番号です");

  const std::u16string_view ruleText = text.substr(colon + 1);
  const std::size_t equals = ruleText.find(u'=');
  const std::u16string_view name = ruleText.substr(0, equals);
  const auto* kind = std::find_if(std::begin(KindNames), std::end(KindNames),
                                  [&](const KindName& k) { return k.name == name; });
  if (kind == std::end(KindNames)) {
    return fail(colon + 1,
                u"不明な規則です（required, length=, sjis, sjis-bytes=, jis, chars=, values=, "
                u"unique, regex=, number, date=, same のどれか）");
  }
  const bool hasArgument = equals != std::u16string_view::npos;
  if (hasArgument && kind->argument == KindName::None) {
    return fail(colon + 1 + equals, u"この規則は「=」のあとの値をとりません");
  }
  if (!hasArgument && kind->argument == KindName::Required) {
    return fail(text.size(), u"この規則には「=」と値が要ります");
  }

  ColumnRule rule;
  rule.text = text;
  rule.ruleText = ruleText;
  rule.column = *column;
  const std::size_t argumentBegin = colon + 1 + (hasArgument ? equals + 1 : ruleText.size());
  const std::u16string_view argument =
      hasArgument ? ruleText.substr(equals + 1) : std::u16string_view();
  std::optional<Failure> failure;
  parse.rule = parseArgument(std::move(rule), kind->kind, argument, argumentBegin, failure);
  if (!parse.rule)
    return fail(failure ? failure->offset : argumentBegin, failure ? failure->reason : u"");
  return parse;
}

RuleList ParseRuleList(std::span<const UnicodeString> texts) {
  RuleList list;
  for (const UnicodeString& text : texts) {
    RuleParse parse = ParseColumnRule(text);
    if (parse.rule) {
      list.rules.push_back(std::move(*parse.rule));
    } else {
      list.ignored.push_back(std::move(parse.error));
    }
  }
  return list;
}

UnicodeString IgnoredRuleText(const RuleError& error) {
  return u"正しくない規則を無視します: " + RuleErrorText(error);
}

bool BreaksRule(const ColumnRule& rule, std::u16string_view cell, RegexPattern::Matcher* matcher) {
  switch (rule.kind) {
    case RuleKind::Required:
      return cell.empty();
    case RuleKind::Length: {
      std::uint64_t n = 0;
      ForEachCodePoint(cell, [&](char32_t) { ++n; });
      return !rule.range.Contains(n);
    }
    case RuleKind::Sjis: {
      bool broken = false;
      ForEachCodePoint(cell, [&](char32_t c) { broken |= !Cp932Facts::IsEncodable(c); });
      return broken;
    }
    case RuleKind::SjisBytes: {
      std::uint64_t n = 0;
      ForEachCodePoint(cell,
                       [&](char32_t c) { n += static_cast<unsigned>(Cp932Facts::ByteLength(c)); });
      return !rule.range.Contains(n);
    }
    case RuleKind::Jis: {
      bool broken = false;
      ForEachCodePoint(cell, [&](char32_t c) { broken |= !Cp932Facts::IsStandard(c); });
      return broken;
    }
    case RuleKind::Chars: {
      bool broken = false;
      ForEachCodePoint(cell, [&](char32_t c) { broken |= !rule.chars->Contains(c); });
      return broken;
    }
    case RuleKind::Values:
      return rule.values->find(cell) == rule.values->end();
    case RuleKind::Regex: {
      if (matcher != nullptr) return matcher->Whole(cell) != RegexPattern::Match::Yes;
      RegexPattern::Matcher own(*rule.regex);
      return own.Whole(cell) != RegexPattern::Match::Yes;
    }
    case RuleKind::Number: {
      const std::optional<Decimal> d = ParseDecimal(cell);
      if (!d) return true;
      if (rule.numberMin && CompareDecimals(*d, *rule.numberMin) < 0) return true;
      return rule.numberMax && CompareDecimals(*d, *rule.numberMax) > 0;
    }
    case RuleKind::Date:
      return !IsDate(cell, rule.date);
    case RuleKind::Unique:
    case RuleKind::Same:
      return false;
  }
  return false;
}

}  // namespace norvalis
