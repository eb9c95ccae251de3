// norvalis-check --all-columns and --code-page, as scripts run them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliTestSupport.h"

namespace {

using norvalis::test::CliRun;

class NorvalisCheckTools : public norvalis::test::CliTest {};

TEST_F(NorvalisCheckTools, AllColumnsPrintsOneLinePerColumnAndExitsByOutcome) {
  const std::string mixed = Write("m.csv", "id,name,flag\n1,東京,0\n2,東京,0\n3,\"大\t阪\",0\n");
  const std::string same = Write("s.csv", "x,y\nx,y\n");
  const struct {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {"title",
       {mixed, "--all-columns", "--title"},
       1,
       "A\tid\t3行目\t2\nB\tname\t4行目\t\"大\t阪\"\nC\tflag\t一致\t\n"},
      {"no title", {mixed, "--all-columns"}, 1, "A\t\t2行目\t1\nB\t\t2行目\t東京\nC\t\t2行目\t0\n"},
      {"all match", {same, "--all-columns"}, 0, "A\t\t一致\t\nB\t\t一致\t\n"},
      {"no rows",
       {Write("t.csv", "h\n"), "--all-columns", "--title"},
       2,
       "検証する行がありません。\n"},
      {"json",
       {mixed, "--all-columns", "--title", "--format", "json"},
       1,
       "{\"outcome\":\"differs\",\"columns\":["
       "{\"column\":\"A\",\"title\":\"id\",\"outcome\":\"differs\",\"row\":3,\"cell\":\"2\"},"
       "{\"column\":\"B\",\"title\":\"name\",\"outcome\":\"differs\",\"row\":4,"
       "\"cell\":\"\\u5927\\u0009\\u962A\"},"
       "{\"column\":\"C\",\"title\":\"flag\",\"outcome\":\"match\",\"row\":null,\"cell\":null}"
       "],\"code_page\":65001}\n"},
      {"json without title",
       {same, "--all-columns", "--format", "json"},
       0,
       "{\"outcome\":\"match\",\"columns\":["
       "{\"column\":\"A\",\"title\":null,\"outcome\":\"match\",\"row\":null,\"cell\":null},"
       "{\"column\":\"B\",\"title\":null,\"outcome\":\"match\",\"row\":null,\"cell\":null}"
       "],\"code_page\":65535}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = Check(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
  }
  // One column or all of them, not both.
  EXPECT_EQ(Check({mixed, "--all-columns", "--column", "B"}).exitCode, 64);
}

TEST_F(NorvalisCheckTools, CodePageReadsTheFileAsChosenAndZeroOrUnknownDetects) {
  // "あ" in EUC-JP; as Shift_JIS the same bytes are two half-width katakana.
  const std::string euc = Write("e.csv", "\xA4\xA2\n\xA4\xA2\n");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string codePage;
  } cases[] = {
      {{euc}, 0, "20932"},
      {{euc, "--code-page", "932"}, 0, "932"},
      {{euc, "--code-page", "0"}, 0, "20932"},
      {{euc, "--code-page", "437"}, 0, "20932"},
      {{euc, "--code-page", "x"}, 64, ""},
      {{euc, "--code-page"}, 64, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--format", "json"});
    const CliRun r = Check(args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    if (c.exitCode == 0) {
      EXPECT_NE(r.out.find("\"code_page\":" + c.codePage + "}"), std::string::npos) << r.out;
    }
  }
  // The text itself changes with the choice.
  const CliRun dump = Check({Write("d.csv", "\xA4\xA2,x\n\xA4\xA3,x\n"), "--code-page", "932"});
  EXPECT_EQ(dump.out, "2行目のデータが異なります。セルの値：\xEF\xBD\xA4\xEF\xBD\xA3\n");
}

TEST_F(NorvalisCheckTools, EveryCommandThatReadsTheFileTakesTheCodePage) {
  const std::string euc = Write("e.csv", "\xA4\xA2\n");
  const struct {
    std::vector<std::string> args;
    std::string out;  // or a line of it
  } cases[] = {
      {{"--encoding", euc, "--code-page", "932"}, "932\n"},
      {{"--encoding", euc, "--code-page", "0"}, "20932\n"},
      {{"--dump", euc}, "[[\"\\u3042\"]]\n"},
      {{"--dump", euc, "--code-page", "932"}, "[[\"\\uFF64\\uFF62\"]]\n"},
      {{"--code-page", "932", "--stats", euc}, "\nコードページ: 932\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const CliRun r = Check(c.args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  }
}

TEST_F(NorvalisCheckTools, ProjectCodePageIsUsedUnlessTheOptionSaysOtherwise) {
  const std::string euc = Write("e.csv", "\xA4\xA2\n");
  const std::string project = Path("p.NVS");
  // UTF-16 LE with mark, as the program writes project files.
  std::u16string text = u"[CSV]\r\nFILENAME=" + norvalis::FromUtf8(euc) +
                        u"\r\nTITLE=0\r\nCODEPAGE=932\r\n\r\n[TASK]\r\nCOL=0\r\n\r\n";
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  Write("p.NVS", bytes);
  auto codePageOf = [&](std::vector<std::string> args) {
    args.insert(args.end(), {"--format", "json"});
    const std::string out = Check(args).out;
    const std::size_t at = out.find("\"code_page\":");
    return at == std::string::npos ? std::string() : out.substr(at + 12);
  };
  EXPECT_EQ(codePageOf({"--project", project}), "932}\n");
  EXPECT_EQ(codePageOf({"--project", project, "--code-page", "0"}), "20932}\n");
}

}  // namespace
