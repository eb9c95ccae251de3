// norvalis-check on files no one should feed it: each ends with its documented exit code and
// text, never with a crash or a hang (every run is bounded by timeout(1)).

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "text/Exception.h"
#include "text/UnicodeString.h"

#if defined(__SANITIZE_ADDRESS__)
#define NORVALIS_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NORVALIS_UNDER_SANITIZER 1
#endif
#endif

namespace norvalis {
namespace {

constexpr int ExitTimedOut = 124;

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HostileFileCli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "norvalis-hostile-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  // Runs norvalis-check with the arguments; prefix goes before it on the shell line (limits,
  // a change of user). A run that takes longer than a minute ends with ExitTimedOut.
  CliRun Check(const std::vector<std::string>& args, const std::string& prefix = "") {
    std::string command = prefix + "timeout -k 5 60 " + Quote(NORVALIS_CHECK_EXE);
    for (const std::string& arg : args)
      command += " " + Quote(arg);
    const std::string errPath = dir_ + "/stderr.txt";
    command += " 2>" + Quote(errPath);
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
      run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(errPath);
    return run;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

  // count copies of pattern, then tail; written in blocks of about 4 MiB.
  std::string WriteRepeated(const std::string& name, const std::string& pattern,
                            std::uint64_t count, const std::string& tail) {
    const std::string path = dir_ + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::uint64_t perBlock = std::max<std::uint64_t>(1, (4u << 20) / pattern.size());
    std::string block;
    for (std::uint64_t i = 0; i < std::min(perBlock, count); ++i)
      block += pattern;
    for (std::uint64_t done = 0; done < count;) {
      const std::uint64_t n = std::min(perBlock, count - done);
      out.write(block.data(), static_cast<std::streamsize>(n * pattern.size()));
      done += n;
    }
    out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

  std::string dir_;
};

const std::string NoRows = "検証する行がありません。\n";
const std::string AllMatch = "すべての値が一致しました。\n";

std::string OpenErrorLine(const std::string& path, int errnum) {
  return "ファイル " + path + " は開けません。 " + ToUtf8(SystemErrorText(errnum)) + " \n";
}

// The one cell a file of one byte gives (see the table's own tests), as --dump writes it.
std::string ExpectedDumpOfByte(int b) {
  std::optional<unsigned> unit;
  if (b == 0x09) {
    unit = 0x09;
  } else if (b < 0x20 || b == '"' || b == ',' || b == 0x7F || b == 0x80) {
    unit = std::nullopt;
  } else if (b < 0x7F) {
    unit = static_cast<unsigned>(b);
  } else if (b == 0xA0) {
    unit = 0xF8F0;
  } else if (b >= 0xA1 && b <= 0xDF) {
    unit = 0xFF61 + static_cast<unsigned>(b - 0xA1);
  } else if (b >= 0xFD) {
    unit = 0xF8F1 + static_cast<unsigned>(b - 0xFD);
  } else {
    unit = 0xFFFD;
  }
  if (!unit) return "[]\n";
  if (*unit >= 0x20 && *unit <= 0x7E && *unit != '"' && *unit != '\\') {
    return "[[\"" + std::string(1, static_cast<char>(*unit)) + "\"]]\n";
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04X", *unit);
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("rows.csv", c.bytes);
    const CliRun check = Check({path});
    EXPECT_EQ(check.exitCode, 2);
    EXPECT_EQ(check.out, NoRows);
    const CliRun dump = Check({"--dump", path});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, "[]\n");
    EXPECT_EQ(Check({"--encoding", path}).out, "65535\n");
  }
}

TEST_F(HostileFileCli, TenMillionEmptyLinesCheckAsNoRows) {
  const std::string path = WriteRepeated("lines.csv", "\n", 10'000'000, "");
  const CliRun check = Check({path, "--column", "XFD"});
  EXPECT_EQ(check.exitCode, 2);
  EXPECT_EQ(check.out, NoRows);
  EXPECT_EQ(Check({"--dump", path}).out, "[]\n");
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

TEST_F(HostileFileCli, DirectoryIsReportedAsUnreadableByEveryCommand) {
  const std::string message = OpenErrorLine(dir_, EISDIR);
  for (const std::vector<std::string>& args : {std::vector<std::string>{dir_},
                                               {"--dump", dir_},
                                               {"--encoding", dir_},
                                               {"--stats", dir_}}) {
    SCOPED_TRACE(args.front());
    const CliRun run = Check(args);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, message);
  }
}

TEST_F(HostileFileCli, FifoReadsAsNothingWithoutBlocking) {
  const std::string path = dir_ + "/pipe.csv";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {{path}, 2, NoRows},
      {{"--dump", path}, 0, "[]\n"},
      {{"--encoding", path}, 0, "65535\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    const CliRun run = Check(c.args);
    ASSERT_NE(run.exitCode, ExitTimedOut) << "blocked on the FIFO";
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.out, c.out);
  }
}

TEST_F(HostileFileCli, FileWithoutReadPermissionIsReportedAsUnreadable) {
  const std::string path = Write("secret.csv", "a\nb\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  // Root reads any file; run as nobody then, where the system has setpriv.
  std::string prefix;
  if (geteuid() == 0) {
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups -- ";
    if (std::system((prefix + Quote(NORVALIS_CHECK_EXE) + " --help >/dev/null 2>&1").c_str()) !=
        0) {
      GTEST_SKIP() << "cannot run norvalis-check as another user here";
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

TEST_F(HostileFileCli, HundredMegabyteCellIsComparedWhole) {
  const std::string path = WriteRepeated("cell.csv", "x", 100'000'000, "\nb\n");
  const CliRun run = Check({path});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "2行目のデータが異なります。セルの値：b\n");
}

TEST_F(HostileFileCli, MillionColumnsAreCheckedUpToXfd) {
  std::string first;
  for (int i = 0; i < 1'000'000; ++i)
    first += i == 0 ? "v" : ",v";
  std::string second = first;
  second[2 * 16383] = 'w';  // column XFD
  const std::string path = Write("wide.csv", first + "\n" + second + "\n");
  const struct {
    const char* column;
    int exitCode;
    std::string out;
  } cases[] = {
      {"XFD", 1, "2行目のデータが異なります。セルの値：w\n"},
      {"XFC", 0, AllMatch},
      {"A", 0, AllMatch},
      {"XFE", 64, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    const CliRun run = Check({path, "--column", c.column});
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.out, c.out);
  }
  // One row: nothing to compare it with; as the title, no data row at all.
  const std::string one = Write("one.csv", first + "\n");
  EXPECT_EQ(Check({one, "--column", "XFD"}).out, AllMatch);
  const CliRun titleOnly = Check({one, "--column", "XFD", "--title"});
  EXPECT_EQ(titleOnly.exitCode, 2);
  EXPECT_EQ(titleOnly.out, NoRows);
}

TEST_F(HostileFileCli, DifferenceInTheLastOfTenMillionRowsIsFound) {
  const std::string path = WriteRepeated("rows.csv", "a,x\n", 9'999'999, "a,y\n");
  const CliRun run = Check({path, "--column", "B"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "10000000行目のデータが異なります。セルの値：y\n");
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
  const std::string path = dir_ + "/missing/p.NVS";
  const CliRun run = Check({"--write-project", path, "a.csv"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.err, "ファイル \"" + path + "\" を作成できません。" +
                         ToUtf8(SystemErrorText(ENOENT)) + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing"));
}

}  // namespace
}  // namespace norvalis
