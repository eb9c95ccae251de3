// norvalis-check on files no one should feed it: each ends with its documented exit code and
// text, never with a crash or a hang (every run is bounded by timeout(1)).

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../csv/CsvTestSupport.h"
#include "CliTestSupport.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using test::CliRun;
using test::Quote;
using HostileFileCli = test::CliTest;

const std::string NoRows = "検証する行がありません。\n";
const std::string AllMatch = "すべての値が一致しました。\n";

std::string OpenErrorLine(const std::string& path, int errnum) {
  return "ファイル " + path + " は開けません。 " + ToUtf8(SystemErrorText(errnum)) + " \n";
}

// The one cell a file of one byte gives, as --dump writes it.
std::string ExpectedDumpOfByte(int b) {
  const std::optional<char16_t> cell = test::ExpectedCellOfByte(b);
  if (!cell) return "[]\n";
  const unsigned unit = *cell;
  if (unit >= 0x20 && unit <= 0x7E && unit != '"' && unit != '\\') {
    return "[[\"" + std::string(1, static_cast<char>(unit)) + "\"]]\n";
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04X", unit);
  return "[[\"" + std::string(escape) + "\"]]\n";
}

TEST_F(HostileFileCli, FilesWithoutRowsCheckAsNoRowsAndDumpAsNothing) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"only zero bytes", std::string(1 << 20, '\0')},
      {"only separators", ",,\r\n,\n\"\",\"\"\n"},
      {"ten million empty lines", std::string(10'000'000, '\n')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("rows.csv", c.bytes);
    const CliRun check = Check({path, "--column", "XFD"});
    EXPECT_EQ(check.exitCode, 2);
    EXPECT_EQ(check.out, NoRows);
    const CliRun dump = Check({"--dump", path});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, "[]\n");
    EXPECT_EQ(Check({"--encoding", path}).out, "65535\n");
  }
}

TEST_F(HostileFileCli, EverySingleByteDumpsAsItsDocumentedTable) {
  for (int b = 0; b <= 0xFF; ++b) {
    SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << b);
    const CliRun dump = Check({"--dump", Write("byte.csv", std::string(1, static_cast<char>(b)))});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, ExpectedDumpOfByte(b));
    EXPECT_EQ(dump.err, "");
  }
}

TEST_F(HostileFileCli, DirectoryOrMissingFileIsReportedAsUnreadableByEveryCommand) {
  for (const auto& [path, errnum] : {std::pair{dir_, EISDIR}, {Path("none.csv"), ENOENT}}) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{path},
                                                 {"--dump", path},
                                                 {"--encoding", path},
                                                 {"--stats", path}}) {
      SCOPED_TRACE(args.front() + " " + path);
      const CliRun run = Check(args);
      EXPECT_EQ(run.exitCode, 3);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, OpenErrorLine(path, errnum));
    }
  }
}

// What scripts feed a checker: a pipe behind "-" or /dev/stdin, and a FIFO whose writer comes
// later; each reads as the file itself.
TEST_F(HostileFileCli, PipesAndFifosReadAsTheFileTheyCarry) {
  const std::string file = std::string(NORVALIS_EXAMPLES) + "/column_check.csv";
  const std::string fifo = Path("pipe.csv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string piped = "cat " + Quote(file) + " | ";
  const std::string late = "(sleep 0.2; cat " + Quote(file) + " >" + Quote(fifo) + ") & ";
  const struct {
    std::string prefix;
    std::vector<std::string> args;  // the file's name goes first
  } cases[] = {
      {piped, {"-", "--title", "--column", "C"}},
      {piped, {"/dev/stdin", "--all-columns", "--format", "json"}},
      {piped, {"--dump", "-"}},
      {late, {fifo, "--column", "D"}},
      {late, {"--encoding", fifo}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefix + c.args[0] + " " + c.args[1]);
    std::vector<std::string> direct = c.args;
    for (std::string& arg : direct)
      if (arg == "-" || arg == "/dev/stdin" || arg == fifo) arg = file;
    const CliRun expected = Check(direct);
    const CliRun run = Check(c.args, c.prefix);
    ASSERT_NE(run.exitCode, test::ExitTimedOut) << "never ended";
    EXPECT_EQ(run.exitCode, expected.exitCode) << run.err;
    EXPECT_EQ(run.out, expected.out);
    EXPECT_NE(expected.out, "");
  }
}

TEST_F(HostileFileCli, EndlessInputGivesTheMemoryMessage) {
#if defined(NORVALIS_UNDER_SANITIZER)
  GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#else
  // More than 1 GB of address space allows, read through a pipe.
  const CliRun run = Check({"--stats", "-"}, "ulimit -v 1048576; head -c 3000000000 /dev/zero | ");
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation\n");
#endif
}

TEST_F(HostileFileCli, StatsTellWhereReadingStoppedAtANul) {
  const std::string path = Write("ls.csv", std::string("\x7F"
                                                       "ELF\x02\x01\x01\0\0\0\x02",
                                                       11));
  const CliRun run = Check({"--stats", path});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("\n読み込みは 8 バイト目で止まりました（NUL文字）\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(Check({"--stats", Write("plain.csv", "a,b\n")}).out.find("止まりました"),
            std::string::npos);
}

TEST_F(HostileFileCli, FileWithoutReadPermissionIsReportedAsUnreadable) {
  const std::string path = Write("secret.csv", "a\nb\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  // Root reads any file; run as nobody then, where the system has setpriv. The build tree may
  // sit in a folder only its owner can enter, so nobody runs a copy from the open test folder,
  // and the probe is the very run the test makes.
  std::string prefix;
  if (geteuid() == 0) {
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups -- ";
    program_ = Path("norvalis-check");
    std::error_code error;
    std::filesystem::copy_file(NORVALIS_CHECK_EXE, program_, error);
    ASSERT_FALSE(error) << error.message();
    const CliRun probe = Check({"--help"}, prefix);
    if (probe.exitCode != 0) {
      GTEST_SKIP() << "cannot run norvalis-check as another user here: " << probe.err;
    }
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{path}, {"--dump", path}, {"--encoding", path}}) {
    SCOPED_TRACE(args.front());
    const CliRun run = Check(args, prefix);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, OpenErrorLine(path, EACCES));
  }
}

TEST_F(HostileFileCli, FileLargerThanTheMemoryAllowedGivesTheMemoryMessage) {
#if defined(NORVALIS_UNDER_SANITIZER)
  GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#else
  // A sparse 8 GB file, read with 1 GB of address space.
  const std::string path = Write("huge.csv", "");
  ASSERT_EQ(::truncate(path.c_str(), off_t{8} << 30), 0);
  const std::string limit = "ulimit -v 1048576; ";
  for (const char* command : {"--encoding", "--stats"}) {
    SCOPED_TRACE(command);
    const CliRun run = Check({command, path}, limit);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation\n");
  }
#endif
}

TEST_F(HostileFileCli, DifferenceInTheLastOfTenMillionRowsIsFound) {
  const std::string path = WriteRepeated("rows.csv", "", "a,x\n", 9'999'999, "a,y\n");
  const CliRun title = Check({path, "--column", "B", "--title", "--format", "json"});
  EXPECT_EQ(title.exitCode, 1);
  EXPECT_EQ(title.out,
            "{\"outcome\":\"differs\",\"row\":10000000,\"cell\":\"y\",\"column\":\"B\","
            "\"rows_compared\":9999997,\"code_page\":65535}\n");
}

TEST_F(HostileFileCli, HostileProjectFilesShowAsDefaults) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i)
    garbage += static_cast<char>((i * 131 + 7) & 0xFF);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"binary", garbage},
      {"UTF-16 mark and one odd byte", "\xFF\xFE["},
      {"only zero bytes", std::string(1000, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun run = Check({"--show-project", Write("p.NVS", c.bytes)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "{\"FILENAME\":\"\",\"TITLE\":false,\"COL\":0}\n");
  }
}

TEST_F(HostileFileCli, ProjectThatCannotBeWrittenIsReportedAndNothingIsCreated) {
  const std::string path = Path("missing/p.NVS");
  const CliRun run = Check({"--write-project", path, "a.csv"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.err, "ファイル \"" + path + "\" を作成できません。" +
                         ToUtf8(SystemErrorText(ENOENT)) + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing"));
}

}  // namespace
}  // namespace norvalis
