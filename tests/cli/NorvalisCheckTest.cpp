// Runs the built norvalis-check as a script would and checks its output and exit codes.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct CheckRun {
  int exitCode = -1;
  std::string out;
};

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

CheckRun RunCheck(const std::vector<std::string>& args) {
  std::string command = Quote(NORVALIS_CHECK_EXE);
  for (const auto& a : args)
    command += " " + Quote(a);
  command += " 2>/dev/null";
  CheckRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class NorvalisCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvalis-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + Quote(dir_)).c_str()); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string Example(const std::string& name) {
    return std::string(NORVALIS_EXAMPLES) + "/" + name;
  }

  std::string dir_;
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
    const CheckRun r = RunCheck({"--encoding", Example(c.file)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, c.codePage);
  }
}

TEST_F(NorvalisCheck, DumpIsPureAsciiAndLossless) {
  // UTF-8 with mark: the mark is gone, quote and backslash and non-ASCII are escaped.
  const std::string path = Write("a.csv", "\xEF\xBB\xBF\"a\"\"b\",c\\d\n\xE3\x81\x82,\n");
  const CheckRun r = RunCheck({"--dump", path});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "[[\"a\\u0022b\",\"c\\u005Cd\"],[\"\\u3042\",\"\"]]\n");
}

TEST_F(NorvalisCheck, DumpKeepsALoneSurrogateAsAnEscape) {
  // UTF-16 LE with mark holding a lone high surrogate between two letters.
  const std::string bytes(
      "\xFF\xFE"
      "a\x00\x00\xD8"
      "b\x00",
      8);
  const CheckRun r = RunCheck({"--dump", Write("s.csv", bytes)});
  EXPECT_EQ(r.exitCode, 0);
  // The conversion to UTF-8 turns the lone surrogate into U+FFFD.
  EXPECT_EQ(r.out, "[[\"a\\uFFFDb\"]]\n");
}

TEST_F(NorvalisCheck, DumpOfAnEmptyFileIsAnEmptyArray) {
  const CheckRun r = RunCheck({"--dump", Write("empty.csv", "")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "[]\n");
}

TEST_F(NorvalisCheck, MissingFilesAndWrongUsage) {
  const std::string missing = dir_ + "/none.csv";
  const struct {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{"--dump", missing}, 3},
      {{"--encoding", missing}, 3},
      {{"--stats", missing}, 3},
      {{"--dump", dir_}, 3},
      {{missing}, 3},
      {{"--project", missing}, 3},
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
    EXPECT_EQ(RunCheck(c.args).exitCode, c.exitCode);
  }
}

TEST_F(NorvalisCheck, CheckPrintsTheStatusTextAndExitsByOutcome) {
  const std::string check = Example("column_check.csv");
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    const CheckRun r = RunCheck(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(NorvalisCheck, CheckAsJson) {
  const CheckRun r =
      RunCheck({Example("column_check.csv"), "--title", "--column", "C", "--format", "json"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "{\"outcome\":\"differs\",\"row\":6,\"cell\":\"\\u55B6\\u696D\\u4E8C\\u90E8\","
            "\"column\":\"C\",\"rows_compared\":3,\"code_page\":932}\n");
  const CheckRun match = RunCheck({Write("m.csv", "x\nx\n"), "--format", "json"});
  EXPECT_EQ(match.exitCode, 0);
  EXPECT_EQ(match.out,
            "{\"outcome\":\"match\",\"row\":null,\"cell\":null,\"column\":\"A\","
            "\"rows_compared\":1,\"code_page\":65535}\n");
}

TEST_F(NorvalisCheck, ProjectsWrittenAndReadBack) {
  const std::string project = dir_ + "/月次 確認.NVS";
  const std::string csv = Example("column_check.csv");
  ASSERT_EQ(RunCheck({"--write-project", project, csv, "--title", "--column", "C"}).exitCode, 0);

  std::string escapedCsv;
  for (char c : csv) {
    if (c == '\\' || c == '"' || static_cast<unsigned char>(c) > 0x7E) {
      FAIL() << "the example path must be plain ASCII for this test";
    }
    escapedCsv += c;
  }
  const CheckRun shown = RunCheck({"--show-project", project});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out, "{\"FILENAME\":\"" + escapedCsv + "\",\"TITLE\":true,\"COL\":2}\n");

  // The check takes file, title and column from the project; options override them.
  EXPECT_EQ(RunCheck({"--project", project}).out,
            "6行目のデータが異なります。セルの値：営業二部\n");
  EXPECT_EQ(RunCheck({"--project", project, "--column", "Z"}).exitCode, 0);

  // Rewriting keeps the file a project: the values change in place.
  ASSERT_EQ(RunCheck({"--write-project", project, csv, "--column", "4"}).exitCode, 0);
  EXPECT_EQ(RunCheck({"--show-project", project}).out,
            "{\"FILENAME\":\"" + escapedCsv + "\",\"TITLE\":false,\"COL\":3}\n");
}

}  // namespace
