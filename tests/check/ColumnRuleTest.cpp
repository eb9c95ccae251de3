// Each rule kind at its boundaries, the rule syntax's mistakes with their positions, and
// hostile rules.

#include <gtest/gtest.h>

#include <string>

#include "check/ColumnRule.h"
#include "text/UnicodeString.h"

namespace norvalis {
namespace {

struct BreakCase {
  const char16_t* rule;
  const char16_t* cell;
  bool breaks;
};

// Each case names the rule and the cell; a failure shows both.
void ExpectBreaks(const BreakCase& c) {
  SCOPED_TRACE(ToUtf8(UnicodeString(c.rule) + u" / [" + c.cell + u"]"));
  const RuleParse parse = ParseColumnRule(c.rule);
  ASSERT_TRUE(parse.rule) << ToUtf8(RuleErrorText(parse.error));
  EXPECT_EQ(BreaksRule(*parse.rule, c.cell), c.breaks);
}

TEST(ColumnRule, CountsAndBytesAtTheEndsOfTheirRanges) {
  const BreakCase cases[] = {
      {u"A:required", u"", true},
      {u"A:required", u" ", false},
      {u"A:length=2..3", u"a", true},
      {u"A:length=2..3", u"ab", false},
      {u"A:length=2..3", u"abc", false},
      {u"A:length=2..3", u"abcd", true},
      {u"A:length=2..3", u"𠮷𠮷", false},  // a surrogate pair is one character
      {u"A:length=..2", u"", false},
      {u"A:length=..2", u"abc", true},
      {u"A:length=2..", u"a", true},
      {u"A:length=2..", u"ab", false},
      {u"A:length=2", u"ab", false},
      {u"A:length=2", u"abc", true},
      {u"A:sjis-bytes=..4", u"ｱｲｳｴ", false},
      {u"A:sjis-bytes=..4", u"ｱｲｳｴｵ", true},
      {u"A:sjis-bytes=..4", u"東京", false},
      {u"A:sjis-bytes=..4", u"東京a", true},
      {u"A:sjis-bytes=..4", u"𠮷𠮷", false},  // not encodable: 2 each
      {u"A:sjis-bytes=..4", u"𠮷𠮷a", true},
      {u"A:sjis-bytes=3..3", u"①a", false},
  };
  for (const BreakCase& c : cases)
    ExpectBreaks(c);
}

TEST(ColumnRule, CharactersOfCodePage932AndOfStandardShiftJis) {
  const BreakCase cases[] = {
      {u"A:sjis", u"東京ｱ~", false}, {u"A:sjis", u"𠮷", true},     {u"A:sjis", u"😀", true},
      {u"A:sjis", u"ü", true},       {u"A:sjis", u"\u301C", true}, {u"A:sjis", u"\uFF5E", false},
      {u"A:sjis", u"①㈱髙", false},  {u"A:jis", u"≒", false},      {u"A:jis", u"①", true},
      {u"A:jis", u"㈱", true},       {u"A:jis", u"髙", true},      {u"A:jis", u"\uE000", true},
      {u"A:jis", u"\uF8F0", true},   {u"A:jis", u"ｱﾟ", false},     {u"A:jis", u"𠮷", true},
  };
  for (const BreakCase& c : cases)
    ExpectBreaks(c);
}

TEST(ColumnRule, NamedSetsEndWhereTheySay) {
  const BreakCase cases[] = {
      {u"A:chars={digits}", u"0189", false},
      {u"A:chars={digits}", u"/", true},
      {u"A:chars={digits}", u":", true},
      {u"A:chars={digits}", u"１", true},
      {u"A:chars={upper}", u"AZ", false},
      {u"A:chars={upper}", u"@", true},
      {u"A:chars={upper}", u"[", true},
      {u"A:chars={lower}", u"az", false},
      {u"A:chars={lower}", u"`", true},
      {u"A:chars={lower}", u"{", true},
      {u"A:chars={kana}", u"\uFF61\uFF9F", false},
      {u"A:chars={kana}", u"\uFF60", true},
      {u"A:chars={kana}", u"\uFFA0", true},
      {u"A:chars={zengin}", u"ｱﾝﾞﾟAZ09 ()-.", false},
      {u"A:chars={zengin}", u"ｦ", true},
      {u"A:chars={zengin}", u"ｧ", true},
      {u"A:chars={zengin}", u"ｯ", true},
      {u"A:chars={zengin}", u"ｰ", true},
      {u"A:chars={zengin}", u"a", true},
      {u"A:chars={zengin}", u",", true},
      {u"A:chars={zengin}", u"/", true},
      {u"A:chars={zengin}", u"'", true},
      {u"A:chars={fullwidth}", u"Ａ漢\u007F\u001F\uFF60\uFFA0𠮷", false},
      {u"A:chars={fullwidth}", u" ", true},
      {u"A:chars={fullwidth}", u"~", true},
      {u"A:chars={fullwidth}", u"\uFF61", true},
      {u"A:chars={fullwidth}", u"\uFF9F", true},
      {u"A:chars=a-c", u"abc", false},
      {u"A:chars=a-c", u"d", true},
      {u"A:chars=-a", u"-a", false},
      {u"A:chars=a-", u"-a", false},
      {u"A:chars=a\\-c", u"-", false},
      {u"A:chars=a\\-c", u"b", true},
      {u"A:chars=\\{x", u"{", false},
      {u"A:chars={digits}-", u"-1", false},
      {u"A:chars=あ-ん", u"かな", false},
      {u"A:chars=あ-ん", u"ア", true},
      {u"A:chars=𠀀-𠮷", u"𠮷", false},
      {u"A:chars=𠀀-𠮷", u"𠮸", true},
  };
  for (const BreakCase& c : cases)
    ExpectBreaks(c);
}

TEST(ColumnRule, ValuesRegexNumbersAndDates) {
  const BreakCase cases[] = {
      {u"A:values=a,b,\"c d\"", u"c d", false},
      {u"A:values=a,b,\"c d\"", u"b", false},
      {u"A:values=a,b,\"c d\"", u"c", true},
      {u"A:values=a,b,\"c d\"", u"", true},
      {u"A:values=\"\"", u"", false},
      {u"A:values=東京 大阪", u"大阪", false},  // a blank separates, as in comma text
      {u"A:regex=\\d{3}", u"123", false},
      {u"A:regex=\\d{3}", u"1234", true},
      {u"A:regex=\\d{3}", u"x123", true},
      {u"A:regex=\\d{3}", u"１２３", true},  // \d is ASCII
      {u"A:regex=.{2}", u"𠮷a", false},      // UTF mode: one character
      {u"A:regex=a|ab", u"ab", false},       // whole cell, not the first alternative
      {u"A:regex=", u"", false},
      {u"A:number", u"-12", false},
      {u"A:number", u"+3.50", false},
      {u"A:number", u"0.5", false},
      {u"A:number", u".5", true},
      {u"A:number", u"1.", true},
      {u"A:number", u"1,000", true},
      {u"A:number", u"１２", true},
      {u"A:number", u" 1", true},
      {u"A:number", u"", true},
      {u"A:number", u"-", true},
      {u"A:number=-1.5..2", u"-1.5", false},
      {u"A:number=-1.5..2", u"-1.50", false},
      {u"A:number=-1.5..2", u"-1.51", true},
      {u"A:number=-1.5..2", u"2", false},
      {u"A:number=-1.5..2", u"2.0001", true},
      {u"A:number=-1.5..2", u"-0", false},
      {u"A:number=0..", u"-0.0", false},
      {u"A:number=..99999999999999999999", u"100000000000000000000", true},
      {u"A:number=..99999999999999999999", u"0099999999999999999999.000", false},
      {u"A:number=10", u"9.99", true},
      {u"A:number=10", u"10.0", false},
      {u"A:date=YYYYMMDD", u"20240229", false},
      {u"A:date=YYYYMMDD", u"20230229", true},
      {u"A:date=YYYYMMDD", u"19000229", true},
      {u"A:date=YYYYMMDD", u"20000229", false},
      {u"A:date=YYYYMMDD", u"00010101", false},
      {u"A:date=YYYYMMDD", u"00001231", true},
      {u"A:date=YYYYMMDD", u"99991231", false},
      {u"A:date=YYYYMMDD", u"20241301", true},
      {u"A:date=YYYYMMDD", u"20240100", true},
      {u"A:date=YYYYMMDD", u"2024011", true},
      {u"A:date=YYYYMMDD", u"２０２４０１０１", true},
      {u"A:date=YYYY/M/D", u"2024/2/9", false},
      {u"A:date=YYYY/M/D", u"2024/02/09", false},
      {u"A:date=YYYY/M/D", u"2024/2/009", true},
      {u"A:date=YYYY/M/D", u"2024-2-9", true},
      {u"A:date=YYYY/MM/DD", u"2024/2/09", true},
      {u"A:date=YYYY/MM/DD", u"2024/12/31", false},
      {u"A:date=YYYY-MM-DD", u"2024-04-31", true},
      {u"A:date=YYYY-MM-DD", u"2024-04-30", false},
  };
  for (const BreakCase& c : cases)
    ExpectBreaks(c);
}

TEST(ColumnRule, MistakesAreToldWithTheirPosition) {
  struct Case {
    const char16_t* rule;
    std::size_t position;
  };
  const Case cases[] = {
      {u"A", 2},
      {u":required", 1},
      {u"0:required", 1},
      {u"XFE:required", 1},
      {u"1234567890:required", 1},
      {u"A:foo", 3},
      {u"A:Required", 3},
      {u"A:required=1", 11},
      {u"A:length", 9},
      {u"A:length=", 10},
      {u"A:length=3..x", 13},
      {u"A:length=5..3", 10},
      {u"A:length=..", 10},
      {u"A:length=1234567890123456", 25},
      {u"A:sjis-bytes=-1", 14},
      {u"A:chars=", 9},
      {u"A:chars=ab{nope}", 11},
      {u"A:chars=ab{digits", 11},
      {u"A:chars=z-a", 9},
      {u"A:chars=a-{digits}", 11},
      {u"A:chars=ab\\", 11},
      {u"A:values=", 10},
      {u"A:regex=ab(c", 13},
      {u"A:regex=a{2,1}", 14},
      {u"A:number=", 10},
      {u"A:number=1..x", 13},
      {u"A:number=3..1", 10},
      {u"A:number=.5", 10},
      {u"A:date=YYYY.MM.DD", 8},
      {u"𠮷:required", 1},
      {u"A:chars=𠮷z-a", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.rule));
    const RuleParse parse = ParseColumnRule(c.rule);
    ASSERT_FALSE(parse.rule);
    EXPECT_EQ(parse.error.position, c.position) << ToUtf8(RuleErrorText(parse.error));
    EXPECT_FALSE(parse.error.reason.empty());
    EXPECT_NE(RuleErrorText(parse.error).find(c.rule), UnicodeString::npos);
  }
}

TEST(ColumnRule, ColumnsByLettersOrNumberAndTheRuleTextAsGiven) {
  const RuleParse letters = ParseColumnRule(u"ab:length=..30");
  ASSERT_TRUE(letters.rule);
  EXPECT_EQ(letters.rule->column, 27u);
  EXPECT_EQ(letters.rule->ruleText, u"length=..30");
  const RuleParse number = ParseColumnRule(u"16385:values=a:b");
  ASSERT_TRUE(number.rule);
  EXPECT_EQ(number.rule->column, 16384u);
  EXPECT_EQ(number.rule->ruleText, u"values=a:b");
}

TEST(ColumnRule, CatastrophicPatternGivesUpInsteadOfRunningOn) {
  const RuleParse parse = ParseColumnRule(u"A:regex=(a|aa)+(b|c)");
  ASSERT_TRUE(parse.rule);
  const UnicodeString cell = UnicodeString(5000, u'a') + u'd';
  RegexPattern::Matcher matcher(*parse.rule->regex);
  EXPECT_EQ(matcher.Whole(cell), RegexPattern::Match::GaveUp);
  EXPECT_TRUE(BreaksRule(*parse.rule, cell, &matcher));
  // A lone surrogate in a cell is no error of the run: it simply does not match.
  const RuleParse any = ParseColumnRule(u"A:regex=.*");
  ASSERT_TRUE(any.rule);
  EXPECT_TRUE(BreaksRule(*any.rule, std::u16string(1, u'\xD800')));
}

TEST(ColumnRule, HugeRangesAreOpenEndsNotOverflows) {
  const RuleParse parse = ParseColumnRule(u"A:length=999999999999999..");
  ASSERT_TRUE(parse.rule);
  EXPECT_TRUE(BreaksRule(*parse.rule, u"abc"));
  const RuleParse all = ParseColumnRule(u"A:chars=\u0001-\U0010FFFF");
  ASSERT_TRUE(all.rule);
  EXPECT_FALSE(BreaksRule(*all.rule, u"𠮷\uFFFF\u0001"));
}

}  // namespace
}  // namespace norvalis
