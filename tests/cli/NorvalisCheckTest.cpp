// Runs the built norvalis-check as a script would and checks its output and exit codes.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "version/AppInfo.h"
#include "text/UnicodeString.h"

namespace {

using norvalis::test::CliRun;

class NorvalisCheck : public norvalis::test::CliTest {
 protected:
  static std::string Example(const std::string& name) {
    return std::string(NORVALIS_EXAMPLES) + "/" + name;
  }
};

TEST_F(NorvalisCheck, EncodingOfTheExamples) {
  const struct {
    const char* file;
    const char* codePage;
  } cases[] = {{"shiftjis_quoted.csv", "932\n"},
               {"utf8_bom.csv", "65001\n"},
               {"eucjp.csv", "20932\n"},
               {"column_check.csv", "932\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const CliRun r = Check({"--encoding", Example(c.file)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, c.codePage);
  }
}

TEST_F(NorvalisCheck, StatsTimesTheLoadTheWindowMakes) {
  const CliRun r = Check({"--stats", Example("shiftjis_quoted.csv")});
  EXPECT_EQ(r.exitCode, 0);
  // The whole load comes first, then its own stages; the output ends its last line.
  EXPECT_EQ(r.out.rfind("読み込み全体: ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\n索引: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nコードページ: 932\n"), std::string::npos) << r.out;
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.back(), '\n');
}

TEST_F(NorvalisCheck, DumpIsPureAsciiAndLossless) {
  const struct {
    const char* name;
    std::string bytes;
    std::string out;
  } cases[] = {
      // The mark is gone; quote, backslash and non-ASCII are escaped.
      {"UTF-8 with mark", "\xEF\xBB\xBF\"a\"\"b\",c\\d\n\xE3\x81\x82,\n",
       "[[\"a\\u0022b\",\"c\\u005Cd\"],[\"\\u3042\",\"\"]]\n"},
      // A lone high surrogate between two letters becomes U+FFFD on the way to UTF-8.
      {"UTF-16 LE lone surrogate",
       std::string("\xFF\xFE"
                   "a\x00\x00\xD8"
                   "b\x00",
                   8),
       "[[\"a\\uFFFDb\"]]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = Check({"--dump", Write("d.csv", c.bytes)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(NorvalisCheck, MissingProjectAndWrongUsage) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{"--project", Path("none.NVS")}, 3},
      {{}, 64},
      {{"--dump"}, 64},
      {{"--bogus", "x"}, 64},
      {{Example("utf8_bom.csv"), "--column", "XFE"}, 64},
      {{Example("utf8_bom.csv"), "--column", "0"}, 64},
      {{Example("utf8_bom.csv"), "--format", "xml"}, 64},
      {{Example("utf8_bom.csv"), Example("eucjp.csv")}, 64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args.back());
    EXPECT_EQ(Check(c.args).exitCode, c.exitCode);
  }
}

TEST_F(NorvalisCheck, CheckPrintsTheStatusTextOrJsonAndExitsByOutcome) {
  const std::string check = Example("column_check.csv");
  const std::string same = Write("m.csv", "x\nx\n");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {{check, "--title", "--column", "C"}, 1, "6行目のデータが異なります。セルの値：営業二部\n"},
      {{check, "--title", "--column", "3"}, 1, "6行目のデータが異なります。セルの値：営業二部\n"},
      {{check, "--title", "--column", "d"}, 1, "5行目のデータが異なります。セルの値：大阪\n"},
      {{check, "--column", "C"}, 1, "2行目のデータが異なります。セルの値：営業部\n"},
      {{check, "--title", "--column", "Z"}, 0, "すべての値が一致しました。\n"},
      {{Write("one.csv", "name\n"), "--title"}, 2, "検証する行がありません。\n"},
      {{check, "--title", "--column", "C", "--format", "json"},
       1,
       "{\"outcome\":\"differs\",\"row\":6,\"cell\":\"\\u55B6\\u696D\\u4E8C\\u90E8\","
       "\"column\":\"C\",\"rows_compared\":3,\"code_page\":932}\n"},
      {{same, "--format", "json"},
       0,
       "{\"outcome\":\"match\",\"row\":null,\"cell\":null,\"column\":\"A\","
       "\"rows_compared\":1,\"code_page\":65535}\n"},
      // The last column a sheet labels is read and named back.
      {{same, "--column", "xfd", "--format", "json"},
       0,
       "{\"outcome\":\"match\",\"row\":null,\"cell\":null,\"column\":\"XFD\","
       "\"rows_compared\":1,\"code_page\":65535}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    const CliRun r = Check(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(NorvalisCheck, ProjectsWrittenAndReadBack) {
  const std::string project = Path("月次 確認.NVS");
  const std::string csv = Example("column_check.csv");
  ASSERT_EQ(Check({"--write-project", project, csv, "--title", "--column", "C"}).exitCode, 0);

  std::string escapedCsv;
  for (char c : csv) {
    if (c == '\\' || c == '"' || static_cast<unsigned char>(c) > 0x7E) {
      FAIL() << "the example path must be plain ASCII for this test";
    }
    escapedCsv += c;
  }
  const CliRun shown = Check({"--show-project", project});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out, "{\"FILENAME\":\"" + escapedCsv + "\",\"TITLE\":true,\"COL\":2}\n");

  // The check takes file, title and column from the project; options override them.
  EXPECT_EQ(Check({"--project", project}).out, "6行目のデータが異なります。セルの値：営業二部\n");
  EXPECT_EQ(Check({"--project", project, "--column", "Z"}).exitCode, 0);

  // Rewriting keeps the file a project: the values change in place.
  ASSERT_EQ(Check({"--write-project", project, csv, "--column", "4"}).exitCode, 0);
  EXPECT_EQ(Check({"--show-project", project}).out,
            "{\"FILENAME\":\"" + escapedCsv + "\",\"TITLE\":false,\"COL\":3}\n");
}

TEST_F(NorvalisCheck, NamesAfterDoubleDashOrBeginningWithPlusAreFiles) {
  Write("-1.csv", "x\nx\n");
  Write("+2.csv", "x\ny\n");
  const std::string match = "すべての値が一致しました。\n";
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {{"--", "-1.csv"}, 0, match},
      {{"--column", "1", "--format", "text", "--", "-1.csv"}, 0, match},
      {{"+2.csv"}, 1, "2行目のデータが異なります。セルの値：y\n"},
      {{"--dump", "--", "-1.csv"}, 0, "[[\"x\"],[\"x\"]]\n"},
      {{"--encoding", "--", "-1.csv"}, 0, "65535\n"},
      // Without "--" it stays an unknown option; after it, an option is a second name.
      {{"-1.csv"}, 64, ""},
      {{"--", "-1.csv", "--title"}, 64, ""},
      {{"--write-project", "p.NVS", "--column", "2", "--", "-1.csv"}, 0, ""},
      {{"--show-project", "--", "p.NVS"},
       0,
       "{\"FILENAME\":\"-1.csv\",\"TITLE\":false,\"COL\":1}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back() + " after " + c.args.front());
    const CliRun r = Check(c.args, std::string("cd ").append(norvalis::test::Quote(dir_)) + " && ");
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(NorvalisCheck, DashReadsStandardInputUnlessItComesAfterDoubleDash) {
  Write("-", "x\ny\n");
  const std::string fromInput = "cd " + norvalis::test::Quote(dir_) + " && exec <" +
                                norvalis::test::Quote(Example("column_check.csv")) + "; ";
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {{"-", "--title", "--column", "C"}, 1, "6行目のデータが異なります。セルの値：営業二部\n"},
      {{"--encoding", "-"}, 0, "932\n"},
      {{"--all-columns", "-"},
       1,
       "A\t\t2行目\t1001\nB\t\t2行目\t山田 太郎\nC\t\t2行目\t営業部\n"
       "D\t\t2行目\t東京\n"},
      {{"--", "-"}, 1, "2行目のデータが異なります。セルの値：y\n"},
      {{"--dump", "--", "-"}, 0, "[[\"x\"],[\"y\"]]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const CliRun r = Check(c.args, fromInput);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(NorvalisCheck, VersionAndHelpGoToStandardOutput) {
  const CliRun version = Check({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  const std::string fileVersion =
      norvalis::ToUtf8(norvalis::TkAppInfo().GetValue(norvalis::TkAppInfo::FileVersion));
  EXPECT_EQ(version.out, "norvalis-check " + fileVersion + "\n");
  EXPECT_TRUE(
      std::regex_match(version.out, std::regex("norvalis-check \\d+\\.\\d+\\.\\d+\\.\\d+\n")))
      << version.out;
  EXPECT_EQ(version.err, "");

  const CliRun help = Check({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("使い方:\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
}

}  // namespace
