// norvalis-check --rule, --rules and --characters, as scripts run them.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CliTestSupport.h"

namespace {

using norvalis::test::CliRun;

class NorvalisCheckRules : public norvalis::test::CliTest {};

TEST_F(NorvalisCheckRules, RulesPrintEveryFindingAndExitByOutcome) {
  const std::string data = Write("d.csv", "code,name\n001,東京\n01,\n001,\"大\t阪\"\n");
  const struct {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {"rows, then rules as given",
       {data, "--title", "--rule", "B:required", "--rule", "1:length=3", "--rule", "A:unique"},
       1,
       "3\tB\trequired\t\n3\tA\tlength=3\t01\n4\tA\tunique\t001\n"},
      {"value with a tab is quoted",
       {data, "--title", "--rule", "B:sjis-bytes=..4"},
       1,
       "4\tB\tsjis-bytes=..4\t\"大\t阪\"\n"},
      {"without the title the title row is data",
       {data, "--rule", "A:regex=\\d+"},
       1,
       "1\tA\tregex=\\d+\tcode\n"},
      {"none", {data, "--title", "--rule", "A:chars={digits}"}, 0, ""},
      {"no rows",
       {Write("t.csv", "h\n"), "--title", "--rule", "A:required"},
       2,
       "検証する行がありません。\n"},
      {"json",
       {data, "--title", "--rule", "A:unique", "--format", "json"},
       1,
       "{\"outcome\":\"broken\",\"findings\":[{\"row\":4,\"column\":\"A\",\"rule\":\"unique\","
       "\"value\":\"001\",\"first_row\":2,\"message\":\"2\\u884C\\u76EE\\u3068\\u540C\\u3058"
       "\\u5024\\u3067\\u3059\"}],\"counts\":[{\"rule\":\"A:unique\",\"count\":1}],"
       "\"ignored\":[],\"code_page\":65001}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = Check(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
  }
}

// More findings than one piece of the output per core: the pieces come out in row order, and a
// repeat under unique prints its own value (the text of its first row) whichever piece it is in.
TEST_F(NorvalisCheckRules, ManyFindingsPrintInRowOrderAcrossThePieces) {
  constexpr int Rows = 600000;
  std::string data;
  std::string expected;
  std::set<std::string> seen;
  for (int i = 0; i < Rows; ++i) {
    const std::string value = std::to_string(i % 1000) + (i % 3 == 0 ? "\x81\x40" : "");
    data += (i % 2 == 0 ? value : "\"" + value + "\"") + "," + (i % 7 == 0 ? "" : "x") + "\n";
    const std::string shown = std::to_string(i % 1000) + (i % 3 == 0 ? "\u3000" : "");
    if (i % 7 == 0) expected += std::to_string(i + 1) + "\tB\trequired\t\n";
    if (!seen.insert(shown).second)
      expected += std::to_string(i + 1) + "\tA\tunique\t" + shown + "\n";
  }
  const CliRun r = Check({Write("many.csv", data), "--code-page", "932", "--rule", "B:required",
                          "--rule", "A:unique"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out == expected) << r.out.size() << " bytes, expected " << expected.size();
}

TEST_F(NorvalisCheckRules, AWrongRuleIsAUsageErrorThatSaysWhere) {
  const std::string data = Write("d.csv", "a\n");
  const struct {
    const char* rule;
    const char* said;
  } cases[] = {
      {"B:length=3..x", "規則「B:length=3..x」の 13 文字目"},
      {"B:regex=(a", "規則「B:regex=(a」の 11 文字目"},
      {"B:unknown", "規則「B:unknown」の 3 文字目"},
      {"B", "規則「B」の 2 文字目"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    const CliRun r = Check({data, "--rule", c.rule});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err.rfind(c.said, 0), 0u) << r.err;
  }
  // --rules wants rules from somewhere.
  EXPECT_EQ(Check({data, "--rules"}).exitCode, 64);
}

TEST_F(NorvalisCheckRules, AProjectsWrongRuleIsIgnoredAndSaid) {
  const std::string data = Write("d.csv", "h\n\n x\n");
  const std::string project = Path("p.NVS");
  ASSERT_EQ(Check({"--write-project", project, data, "--title"}).exitCode, 0);
  // The rules section as a person would add it, in UTF-16 as the program writes projects.
  std::string bytes = norvalis::test::ReadFile(project);
  for (const char16_t unit : std::u16string(u"[RULES]\r\nRULE1=A:required\r\nRULE2=A:bad\r\n"
                                            u"RULE3=A:chars={lower}\r\n\r\n")) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  Write("p.NVS", bytes);
  const CliRun r = Check({"--project", project, "--rules"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "2\tA\trequired\t\n3\tA\tchars={lower}\t x\n");
  EXPECT_NE(r.err.find("A:bad"), std::string::npos) << r.err;
}

TEST_F(NorvalisCheckRules, CharactersPrintKindAndCodesInCellOrder) {
  const std::string data = Write("c.csv", "\"東京 \",①㈱①\n〜,～\n～,\"a\u0085\"\n");
  const struct {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {"every kind",
       {data, "--characters"},
       1,
       "1\tA\tspaces\tU+0020\t東京 \n1\tB\tmachine-dependent\tU+2460 U+3231\t①㈱①\n"
       "2\tA\tmixed-forms\tU+301C\t〜\n3\tB\tcontrol\tU+0085\ta\u0085\n"},
      {"kinds chosen",
       {data, "--characters", "--kinds", "spaces,control"},
       1,
       "1\tA\tspaces\tU+0020\t東京 \n3\tB\tcontrol\tU+0085\ta\u0085\n"},
      {"title row is not checked", {data, "--characters", "--title", "--kinds", "spaces"}, 0, ""},
      {"json counts",
       {data, "--characters", "--kinds", "mixed-forms", "--format", "json"},
       1,
       "{\"outcome\":\"found\",\"findings\":[{\"row\":2,\"column\":\"A\",\"kind\":\"mixed-forms\","
       "\"chars\":\"U+301C\",\"value\":\"\\u301C\",\"message\":\"\\u5909\\u63DB\\u306B\\u3088"
       "\\u3063\\u3066\\u7570\\u306A\\u308B\\u5F62\\u306E\\u6587\\u5B57\\u304C\\u6DF7\\u5728\\u3057"
       "\\u3066\\u3044\\u307E\\u3059: \\u301C\"}],\"counts\":{\"mojibake\":0,"
       "\"machine-dependent\":0,\"mixed-forms\":1,\"control\":0,\"spaces\":0},"
       "\"code_page\":65001}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = Check(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
  }
  EXPECT_EQ(Check({data, "--characters", "--kinds", "spaces,nope"}).exitCode, 64);
  EXPECT_EQ(Check({data, "--characters", "--rule", "A:required"}).exitCode, 64);
}

}  // namespace
