// Files no one should feed the tool, through the whole load path: each loads as its
// documented table (a failure is the result false with an empty table), never a crash or hang.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <new>
#include <string>
#include <thread>

#include "CsvTestSupport.h"
#include "check/ColumnCheck.h"
#include "csv/CsvUtility.h"

namespace norvalis {
namespace {

namespace Seams = TFileUtility::Testing;
using test::ExpectEmpty;
using HostileFileTest = test::ReaderTest;

bool Load(TCsv& csv, const std::string& path) {
  return csv.LoadFromFile(FromUtf8(path));
}

TEST_F(HostileFileTest, EverySingleByteLoadsAsItsDocumentedTable) {
  for (int b = 0; b <= 0xFF; ++b) {
    SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << b);
    TCsv csv;
    ASSERT_TRUE(Load(csv, Write("byte.csv", std::string(1, static_cast<char>(b)))));
    EXPECT_EQ(csv.CodePage(), 65535u);
    const std::optional<char16_t> cell = test::ExpectedCellOfByte(b);
    if (!cell) {
      ExpectEmpty(csv);
      continue;
    }
    EXPECT_EQ(csv.GetRows(), (CsvRows{{UnicodeString(1, *cell)}}));
  }
}

TEST_F(HostileFileTest, EmptyFileOrZeroBytesEndTheContentThatNothingRecognises) {
  const struct {
    const char* name;
    std::string bytes;
    CsvRows rows;
  } cases[] = {
      {"empty", "", {}},
      {"only zero bytes", std::string(1 << 20, '\0'), {}},
      {"one zero byte", std::string(1, '\0'), {}},
      {"zero byte first", std::string("\0a,b", 4), {}},
      {"zero byte inside", std::string("a,b\nc\0d,e", 9), {{u"a", u"b"}, {u"c", u""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    EXPECT_TRUE(Load(csv, Write("zero.csv", c.bytes)));
    EXPECT_EQ(csv.GetRows(), c.rows);
    if (c.rows.empty()) ExpectEmpty(csv);
  }
}

TEST_F(HostileFileTest, DirectoryAndMissingFileFailAndLeaveTheTableEmpty) {
  for (const std::string& path : {dir_, Path("missing.csv"), std::string()}) {
    SCOPED_TRACE(path);
    TCsv csv;
    EXPECT_FALSE(Load(csv, path));
    ExpectEmpty(csv);
    EXPECT_EQ(csv.CodePage(), 0u);
  }
}

// Loads on a worker thread. When it has not returned in time, a writer is opened and closed
// so that a reader left waiting gets its end of file, and the test fails.
bool LoadWithoutBlocking(TCsv& csv, const std::string& path) {
  auto load = std::async(std::launch::async, [&] { return Load(csv, path); });
  if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the load of " << path << " blocks";
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  return load.get();
}

// A FIFO is read as cat reads it: what its writer writes, up to the writer's close.
TEST_F(HostileFileTest, FifoLoadsWhatItsWriterWrote) {
  const std::string path = Path("pipe.csv");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);  // waits for the reader
    EXPECT_EQ(::write(fd, "a,b\n", 4), 4);
    ::close(fd);
  });
  TCsv csv;
  EXPECT_TRUE(LoadWithoutBlocking(csv, path));
  writer.join();
  EXPECT_EQ(csv.GetRowCount(), 1u);
  EXPECT_EQ(csv.GetCell(0, 1), u"b");
}

int denyOpen(const char*, int) {
  errno = EACCES;
  return -1;
}

void failAllocation(std::uint64_t) {
  throw std::bad_alloc();
}

TEST_F(HostileFileTest, FileThatCannotBeOpenedOrHeldFailsAndLeavesTheTableEmpty) {
  // Running as root, permissions stop no read: the open is made to fail instead.
  const std::string path = Write("denied.csv", "a,b\n");
  for (const bool deny : {true, false}) {
    SCOPED_TRACE(deny ? "open denied" : "larger than memory");
    Seams::SetOpenFunction(deny ? denyOpen : nullptr);
    Seams::SetHoldFunction(deny ? nullptr : failAllocation);
    TCsv csv;
    EXPECT_FALSE(Load(csv, path));
    ExpectEmpty(csv);
    Seams::SetOpenFunction(nullptr);
    Seams::SetHoldFunction(nullptr);
    EXPECT_TRUE(Load(csv, path));
    EXPECT_EQ(csv.GetRows(), (CsvRows{{u"a", u"b"}}));
  }
}

std::string shrinkingPath;
off_t shrinkTo = 0;
void shrinkBeforeHold(std::uint64_t) {
  // The file loses its tail after its size was taken and before it is read.
  EXPECT_EQ(::truncate(shrinkingPath.c_str(), shrinkTo), 0);
}

TEST_F(HostileFileTest, FileThatShrinksWhileReadLoadsWhatRemains) {
  // The bytes that are no longer there read as zero bytes, which end the decoded text.
  const std::string utf16 = std::string(
      "\xFF\xFE"
      "a\0,\0b\0\n\0",
      10);
  const struct {
    const char* name;
    std::string bytes;
    off_t keep;
    std::uint16_t codePage;
    CsvRows rows;
  } cases[] = {
      {"cut inside the first line", "ab,cd\nef\n", 2, 65535, {{u"ab"}}},
      {"cut after the first line", "ab,cd\nef,gh\n", 6, 65535, {{u"ab", u"cd"}}},
      {"cut to nothing", "ab,cd\n", 0, 65535, {}},
      {"UTF-16 cut after the comma", utf16, 6, 1200, {{u"a"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    shrinkingPath = Write("shrink.csv", c.bytes);
    shrinkTo = c.keep;
    Seams::SetHoldFunction(shrinkBeforeHold);
    TCsv csv;
    EXPECT_TRUE(Load(csv, shrinkingPath));
    EXPECT_EQ(csv.CodePage(), c.codePage);
    EXPECT_EQ(csv.GetRows(), c.rows);
  }
}

TEST_F(HostileFileTest, HundredMegabyteCellLoadsWhole) {
  constexpr std::uint64_t Size = 100'000'000;
  const struct {
    const char* name;
    std::string head;
    std::string pattern;
    std::string tail;
    char16_t first;
  } cases[] = {
      {"unquoted", "", "x", "", u'x'},
      // Inside quotes, commas and line breaks are content; the CR is dropped.
      {"quoted", "\"", "a,\r\n\"\"", "\"", u'a'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint64_t copies = Size / c.pattern.size();
    TCsv csv;
    ASSERT_TRUE(Load(csv, WriteRepeated("cell.csv", c.head, c.pattern, copies, c.tail)));
    ASSERT_EQ(csv.GetRowCount(), 1u);
    ASSERT_EQ(csv.GetColCount(), 1u);
    const UnicodeString cell = csv.GetCell(0, 0);
    // Each copy keeps all its units but the CR, and one of the two quotation marks.
    const std::uint64_t perCopy = c.pattern.size() == 1 ? 1 : 4;
    ASSERT_EQ(cell.size(), copies * perCopy);
    EXPECT_EQ(cell.front(), c.first);
    EXPECT_EQ(cell.substr(cell.size() - perCopy), c.pattern.size() == 1 ? u"x" : u"a,\n\"");
  }
}

TEST_F(HostileFileTest, RowOfAMillionColumnsLoadsWholeAndLabelsStopAtXfd) {
  constexpr std::uint32_t Columns = 1'000'000;
  // Each cell holds its own index, so a shifted cell shows.
  std::string line;
  for (std::uint32_t i = 0; i < Columns; ++i) {
    if (i != 0) line += ',';
    line += std::to_string(i);
  }
  TCsv csv;
  ASSERT_TRUE(Load(csv, Write("wide.csv", line + "\n")));
  ASSERT_EQ(csv.GetRowCount(), 1u);
  ASSERT_EQ(csv.GetColCount(), Columns);
  for (const std::uint32_t col : {0u, 1u, 16383u, 16384u, 500000u, Columns - 1}) {
    EXPECT_EQ(ToUtf8(csv.GetCell(0, col)), std::to_string(col));
  }
  EXPECT_EQ(csv.GetCell(0, Columns), u"");

  const std::vector<UnicodeString> labels =
      TCsvUtility::MakeColumnLabels(static_cast<std::int32_t>(csv.GetColCount()), u"", u"");
  ASSERT_EQ(labels.size(), 16384u);
  EXPECT_EQ(labels.back(), u"XFD");
}

TEST_F(HostileFileTest, TenMillionEmptyLinesLoadAsNothingOrAsRowsBeforeContent) {
  constexpr std::uint32_t Lines = 10'000'000;
  const struct {
    const char* name;
    std::string line;
    std::string tail;
  } cases[] = {
      {"LF", "\n", ""}, {"CR LF", "\r\n", ""}, {"commas", ",,\n", ""}, {"LF then x", "\n", "x"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    ASSERT_TRUE(Load(csv, WriteRepeated("lines.csv", "", c.line, Lines, c.tail)));
    if (c.tail.empty()) {
      ExpectEmpty(csv);
      continue;
    }
    ASSERT_EQ(csv.GetRowCount(), Lines + 1);
    ASSERT_EQ(csv.GetColCount(), 1u);
    EXPECT_EQ(csv.GetCell(0, 0), u"");
    EXPECT_EQ(csv.GetCell(Lines - 1, 0), u"");
    EXPECT_EQ(csv.GetCell(Lines, 0), u"x");
  }
}

TEST(LargeTableCheck, DifferenceInTheLastOfTenMillionRowsIsFoundWithItsRowNumber) {
  constexpr std::uint32_t Rows = 10'000'000;
  // Appended in blocks of lines: one append per line is slow under the sanitizers.
  constexpr std::uint32_t BlockLines = 1000;
  UnicodeString block;
  for (std::uint32_t i = 0; i < BlockLines; ++i)
    block += u"a,x\n";
  UnicodeString text;
  text.reserve(4 * std::size_t{Rows});
  for (std::uint32_t i = 0; i < Rows / BlockLines; ++i)
    text += block;
  text.replace(text.size() - 4, 4, u"a,y\n");
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(std::move(text)));
  ASSERT_EQ(csv.GetRowCount(), Rows);

  const struct {
    const char* name;
    bool title;
    std::int64_t column;
    CheckResult::Outcome outcome;
    std::uint64_t compared;
  } cases[] = {
      {"differs in the last row", false, 1, CheckResult::Outcome::Differs, Rows - 2},
      {"differs in the last row, title", true, 1, CheckResult::Outcome::Differs, Rows - 3},
      {"all match", false, 0, CheckResult::Outcome::AllMatch, Rows - 1},
      {"column beyond the table", false, 16383, CheckResult::Outcome::AllMatch, Rows - 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CheckResult result = CheckColumn(csv.Table(), c.title, c.column);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.compared, c.compared);
    EXPECT_EQ(result.toCompare, Rows - 1 - (c.title ? 1u : 0u));
    if (c.outcome == CheckResult::Outcome::Differs) {
      EXPECT_EQ(result.RowNumber(), Rows);
      EXPECT_EQ(CheckStatusText(result), u"10000000行目のデータが異なります。セルの値：y");
    }
  }
}

TEST(LargeTableCheck, DifferenceAtTheLastLabelledColumnOfAMillionIsFound) {
  constexpr std::uint32_t Columns = 1'000'000;
  UnicodeString first;
  for (std::uint32_t i = 0; i < Columns; ++i)
    first += i == 0 ? u"v" : u",v";
  UnicodeString second = first;
  // Column XFD (index 16383) starts at 2 × 16383 in the second line.
  second[2 * 16383] = u'w';
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(first + u"\n" + second + u"\n"));
  ASSERT_EQ(csv.GetColCount(), Columns);
  const std::int32_t xfd = TCsvUtility::LettersToColumnIndex(u"XFD");
  const CheckResult atXfd = CheckColumn(csv.Table(), false, xfd);
  EXPECT_EQ(atXfd.outcome, CheckResult::Outcome::Differs);
  EXPECT_EQ(atXfd.RowNumber(), 2);
  EXPECT_EQ(atXfd.cell, u"w");
  EXPECT_EQ(CheckColumn(csv.Table(), false, xfd - 1).outcome, CheckResult::Outcome::AllMatch);
  EXPECT_EQ(CheckColumn(csv.Table(), false, Columns - 1).outcome, CheckResult::Outcome::AllMatch);
}

[[maybe_unused]] std::uint64_t FreeDiskBytes(const std::string& path) {
  struct statvfs info {};
  if (statvfs(path.c_str(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

[[maybe_unused]] std::uint64_t AvailableMemoryBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kib = 0;
  std::string unit;
  while (meminfo >> key >> kib >> unit) {
    if (key == "MemAvailable:") return kib * 1024;
  }
  return 0;
}

TEST_F(HostileFileTest, TwoAndAHalfGigabyteFileLoadsAndChecks) {
#if defined(NORVALIS_UNDER_SANITIZER)
  GTEST_SKIP() << "too slow under the sanitizers";
#else
  constexpr std::uint64_t Gib = std::uint64_t{1} << 30;
  if (FreeDiskBytes(dir_) < 8 * Gib) GTEST_SKIP() << "less than 8 GB free on the disk";
  // The bytes and their UTF-16 text are held together for a moment: 7.5 GB.
  if (AvailableMemoryBytes() < 10 * Gib) GTEST_SKIP() << "less than 10 GB of memory free";

  // Lines of exactly 1 MiB, 2.5 GiB in all: offsets pass 2^31 bytes and, as UTF-16, 2^32.
  constexpr std::uint32_t LineBytes = 1 << 20;
  constexpr std::uint32_t Lines = 2560;
  const std::string body(LineBytes - 3, 'a');
  const std::string path = WriteRepeated("big.csv", "", body + ",b\n", Lines - 1, body + ",c\n");
  ASSERT_EQ(std::filesystem::file_size(path), std::uint64_t{Lines} * LineBytes);

  TCsv csv;
  ASSERT_TRUE(Load(csv, path));
  EXPECT_EQ(csv.CodePage(), 65535u);
  ASSERT_EQ(csv.GetRowCount(), Lines);
  ASSERT_EQ(csv.GetColCount(), 2u);
  EXPECT_EQ(csv.GetCell(Lines - 1, 0).size(), LineBytes - 3);
  EXPECT_EQ(csv.GetCell(Lines - 2, 1), u"b");
  EXPECT_EQ(csv.GetCell(Lines - 1, 1), u"c");

  const CheckResult result = CheckColumn(csv.Table(), false, 1);
  EXPECT_EQ(result.outcome, CheckResult::Outcome::Differs);
  EXPECT_EQ(result.RowNumber(), Lines);
  EXPECT_EQ(result.cell, u"c");
#endif
}

}  // namespace
}  // namespace norvalis
