// The rules over a whole table: order of findings, unique and same across row ranges, counts.

#include "check/RuleCheck.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "check/RowPass.h"
#include "text/MECSUtils.h"

namespace norvalis {
namespace {

std::vector<ColumnRule> Rules(std::initializer_list<const char16_t*> texts) {
  std::vector<ColumnRule> rules;
  for (const char16_t* text : texts) {
    RuleParse parse = ParseColumnRule(text);
    EXPECT_TRUE(parse.rule) << ToUtf8(text);
    if (parse.rule) rules.push_back(std::move(*parse.rule));
  }
  return rules;
}

struct Expected {
  std::uint32_t row;
  std::uint32_t rule;
  std::uint32_t detail;
};

void ExpectFindings(const RuleCheckResult& result, const std::vector<Expected>& expected) {
  ASSERT_EQ(result.findings.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(result.findings[i].row, expected[i].row);
    EXPECT_EQ(result.findings[i].rule, expected[i].rule);
    EXPECT_EQ(result.findings[i].detail, expected[i].detail);
  }
}

TEST(RuleCheck, FindingsComeInRowOrderThenInTheOrderOfTheRules) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"id,name\n1,a\n1,\n2,b\n,b\n"));
  const std::vector<ColumnRule> rules =
      Rules({u"B:unique", u"A:required", u"B:required", u"A:unique", u"A:same"});
  const RuleCheckResult result = CheckRules(csv.Table(), true, rules);
  EXPECT_EQ(result.outcome, RuleCheckResult::Outcome::Broken);
  ExpectFindings(result, {{2, 2, 0}, {2, 3, 1}, {3, 4, 0}, {4, 0, 3}, {4, 1, 0}, {4, 4, 0}});
  EXPECT_EQ(result.counts, (std::vector<std::uint64_t>{1, 1, 1, 1, 2}));
  // Six findings in five cells: row 4's column A breaks two rules and is one value.
  EXPECT_EQ(RuleStatusText(result), u"5 件の値が規則に合いません。");
  EXPECT_EQ(result.referenceRow, 1u);
  EXPECT_EQ(RuleFindingText(rules[3], result.findings[1], u"1"), u"2行目と同じ値です");
}

TEST(RuleCheck, NoDataRowMeansNothingToCheck) {
  const std::vector<ColumnRule> rules = Rules({u"A:required"});
  TCsv title;
  ASSERT_TRUE(title.LoadFromText(u"only a title\n"));
  EXPECT_EQ(CheckRules(title.Table(), true, rules).outcome, RuleCheckResult::Outcome::NoRows);
  EXPECT_EQ(CheckRules(CsvTable::Empty(), false, rules).outcome, RuleCheckResult::Outcome::NoRows);
  const RuleCheckResult one = CheckRules(title.Table(), false, rules);
  EXPECT_EQ(one.outcome, RuleCheckResult::Outcome::AllPass);
  EXPECT_EQ(RuleStatusText(one), u"すべての値が規則を満たしています。");
}

TEST(RuleCheck, AColumnOutsideTheTableReadsAsEmptyCells) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"a\nb\n"));
  const RuleCheckResult result =
      CheckRules(csv.Table(), false, Rules({u"C:required", u"C:unique"}));
  ExpectFindings(result, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
}

// Many ranges on several threads must give what one pass in row order gives.
TEST(RuleCheck, RangesJoinAsOnePassWould) {
  constexpr std::uint32_t Rows = 150000;
  std::u16string text;
  for (std::uint32_t i = 0; i < Rows; ++i) {
    const std::string line =
        std::to_string(i % 1000) + "," + std::to_string(i) + "," + (i % 7 == 0 ? "x" : "") + "\n";
    text += FromUtf8(line);
  }
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(std::move(text)));
  const std::vector<ColumnRule> rules =
      Rules({u"A:unique", u"C:required", u"B:regex=\\d*[05]", u"A:same", u"B:unique"});
  const RuleCheckResult result = CheckRules(csv.Table(), false, rules);
  std::vector<Expected> expected;
  for (std::uint32_t i = 0; i < Rows; ++i) {
    if (i >= 1000) expected.push_back({i, 0, i % 1000});
    if (i % 7 != 0) expected.push_back({i, 1, 0});
    if (i % 5 != 0) expected.push_back({i, 2, 0});
    if (i % 1000 != 0) expected.push_back({i, 3, 0});
  }
  ExpectFindings(result, expected);
  EXPECT_EQ(result.counts[4], 0u);
}

// Shift_JIS rows are cut as bytes, single-byte cells widened without the decoder, and answers
// remembered by a cell's bytes: the findings must be those of the table decoded first, read
// through the exact route, for every rule kind.
class RuleCheckBytes : public test::TempDirTest {
 protected:
  void TearDown() override { RowPass::ForcePartsForTesting(0); }
};

TEST_F(RuleCheckBytes, FindingsOfShiftJisRowsAgreeWithTheDecodedTable) {
  // Each lead family, the two codes of one character, kana, digits, blanks, and what sends a
  // row to the exact route: doubled quotes, a quote in a bare field, controls, 80.
  const std::string pieces[] = {"1",        "12",       "0",        "a",        " ",
                                "\xB1",     "\xDF",     "\xA6",     "\x81\x40", "\x82\xA0",
                                "\x87\x90", "\x81\xE0", "\x87\x54", "\xFA\x4A", "\xED\x40",
                                "\xF0\x40", "\x81\x60", "-1.5",     "20240229", ","};
  const std::string odd[] = {"\"\"", "x\"", "\x01", "\x80", "\r"};
  std::mt19937 random(2026);
  std::string bytes;
  for (int row = 0; row < 3000; ++row) {
    for (int col = 0; col < 4; ++col) {
      const bool quoted = random() % 2 == 0;
      bytes += col != 0 ? "," : "";
      bytes += quoted ? "\"" : "";
      for (int k = static_cast<int>(random() % 4); k > 0; --k) {
        const std::string& piece = pieces[random() % std::size(pieces)];
        bytes += piece == "," && !quoted ? "a" : piece;
      }
      if (random() % 40 == 0) bytes += odd[random() % std::size(odd)];
      bytes += quoted ? "\"" : "";
    }
    bytes += row % 3 == 0 ? "\r\n" : "\n";
  }
  TCsv file;
  ASSERT_TRUE(file.Load(FromUtf8(Write("sjis.csv", bytes)), 932).ok());
  TCsv decoded;
  ASSERT_TRUE(decoded.LoadFromText(
      MECSUtils::MecsMappingFix_CP932ToUnicode(MECSUtils::AnsiToUTF16(bytes, 932))));
  const std::vector<ColumnRule> rules =
      Rules({u"A:required", u"B:length=2..3", u"C:sjis-bytes=..3", u"D:chars={kana}{digits}",
             u"A:values=1,12,\uFF71", u"B:jis", u"C:regex=\\d+", u"D:number=-2..20", u"A:unique",
             u"B:unique", u"C:same", u"D:date=YYYYMMDD", u"A:length=1"});
  for (const unsigned parts : {1u, 3u}) {
    RowPass::ForcePartsForTesting(parts);
    const RuleCheckResult fromBytes = CheckRules(file.Table(), false, rules);
    const RuleCheckResult expected = CheckRules(decoded.Table(), false, rules);
    ASSERT_EQ(fromBytes.findings.size(), expected.findings.size());
    for (std::size_t i = 0; i < expected.findings.size(); ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(fromBytes.findings[i].row, expected.findings[i].row);
      ASSERT_EQ(fromBytes.findings[i].rule, expected.findings[i].rule);
      ASSERT_EQ(fromBytes.findings[i].detail, expected.findings[i].detail);
    }
    for (std::size_t r = 0; r < rules.size(); ++r)
      EXPECT_GT(expected.counts[r], 0u) << ToUtf8(rules[r].text);
  }
}

TEST(RuleCheck, ACancelledRunSaysSo) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"a\nb\n"));
  const std::atomic<bool> cancel{true};
  EXPECT_EQ(CheckRules(csv.Table(), false, Rules({u"A:required"}), nullptr, &cancel).outcome,
            RuleCheckResult::Outcome::Cancelled);
}

}  // namespace
}  // namespace norvalis
