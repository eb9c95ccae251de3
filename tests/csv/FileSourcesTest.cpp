// Where a table's bytes come from: pipes and FIFOs, read to their end as cat reads them; a file
// that changes on disk after the load; a file whose decoding stops at a NUL.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CsvTestSupport.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"

namespace norvalis::test {
namespace {

using std::chrono_literals::operator""ms;

class FileSourcesTest : public ReaderTest {};

// Shift_JIS rows, larger than a pipe holds at once.
std::string ManyRows() {
  std::string bytes = "id,\x93\x73\x93\xB9\x95\x7B\x8C\xA7\r\n";
  for (int i = 0; i < 20000; ++i)
    bytes += std::to_string(i) + ",\x93\x8C\x8B\x9E\x93\x73\r\n";
  return bytes;
}

// Writes the bytes to fd in pieces of random size, with a pause after each, then closes it.
void WriteSlowly(int fd, const std::string& bytes) {
  std::mt19937 random(5);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t piece = std::min<std::size_t>(1 + random() % 20000, bytes.size() - at);
    const ssize_t written = ::write(fd, bytes.data() + at, piece);
    if (written <= 0) break;
    at += static_cast<std::size_t>(written);
    std::this_thread::sleep_for(1ms);
  }
  ::close(fd);
}

// What the same bytes give when they come from a regular file.
void ExpectSameAsFile(TCsv& fromStream, const std::string& bytes, TempDir& dir) {
  TCsv fromFile;
  ASSERT_TRUE(fromFile.Load(FromUtf8(dir.Write("same.csv", bytes))).ok());
  EXPECT_EQ(fromStream.CodePage(), fromFile.CodePage());
  EXPECT_EQ(fromStream.GetRowCount(), fromFile.GetRowCount());
  EXPECT_TRUE(fromStream.GetRows() == fromFile.GetRows());
}

TEST_F(FileSourcesTest, PipeFedSlowlyInPiecesReadsAsTheSameFile) {
  const std::string bytes = ManyRows();
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer(WriteSlowly, ends[1], bytes);
  TCsv csv;
  const CsvLoadResult result = csv.Load(FromUtf8("/dev/fd/" + std::to_string(ends[0])));
  writer.join();
  ::close(ends[0]);
  ASSERT_TRUE(result.ok()) << ToUtf8(result.message);
  EXPECT_EQ(csv.GetRowCount(), 20001u);
  ExpectSameAsFile(csv, bytes, temp_);
  // Held whole in memory, so nothing on disk can change under it.
  EXPECT_EQ(csv.Share()->DiskState(), FileState::Same);
}

TEST_F(FileSourcesTest, FifoIsWaitedForUntilAWriterComesAndGoes) {
  const std::string fifo = Path("late.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {{"rows", ManyRows()}, {"a writer that writes nothing", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The writer comes only once the reader has been waiting a while.
    std::thread writer([&] {
      std::this_thread::sleep_for(100ms);
      WriteSlowly(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC), c.bytes);
    });
    TCsv csv;
    const CsvLoadResult result = csv.Load(FromUtf8(fifo));
    writer.join();
    ASSERT_TRUE(result.ok()) << ToUtf8(result.message);
    ExpectSameAsFile(csv, c.bytes, temp_);
  }
}

TEST_F(FileSourcesTest, CancelEndsTheWaitForAFifo) {
  const std::string fifo = Path("silent.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> cancel{false};
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"kept"));
  std::future<CsvLoadResult> load =
      std::async(std::launch::async, [&] { return csv.Load(FromUtf8(fifo), 0, &cancel); });
  EXPECT_EQ(load.wait_for(100ms), std::future_status::timeout) << "waits for a writer";
  cancel = true;
  if (load.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    // Let the load end before failing, so the test does not hang.
    ::close(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
    FAIL() << "the wait did not look at the cancel flag";
  }
  EXPECT_EQ(load.get().error, CsvLoadError::Cancelled);
  EXPECT_EQ(csv.GetCell(0, 0), u"kept");
}

TEST_F(FileSourcesTest, PipeBeyondTheMemoryAllowedGivesTheMemoryMessage) {
  const std::string bytes(3 << 20, 'x');
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer(WriteSlowly, ends[1], bytes);
  // The first buffer can be had, a larger one cannot.
  TFileUtility::Testing::SetResizeFunction([](AnsiString& buffer, std::size_t size) {
    if (size > (std::size_t{1} << 20)) throw std::bad_alloc();
    buffer.resize(size);
  });
  TCsv csv;
  const CsvLoadResult result = csv.Load(FromUtf8("/dev/fd/" + std::to_string(ends[0])));
  char drain[65536];
  while (::read(ends[0], drain, sizeof drain) > 0) {
  }
  writer.join();
  ::close(ends[0]);
  EXPECT_EQ(result.error, CsvLoadError::OutOfMemory);
  EXPECT_EQ(result.message, TFileUtility::MemoryMessage);
}

struct DiskCase {
  const char* name;
  std::function<void(const std::string& path, TempDir& dir)> change;
  FileState state;
  std::u16string text;
};

TEST_F(FileSourcesTest, TableTellsHowTheFileOnDiskComparesWithWhatItHolds) {
  const std::string bytes = "a,b\nc,d\ne,f\n";
  const std::vector<DiskCase> cases = {
      {"untouched", [](const std::string&, TempDir&) {}, FileState::Same, u""},
      {"cut short",
       [](const std::string& path, TempDir&) { ASSERT_EQ(::truncate(path.c_str(), 3), 0); },
       FileState::Changed,
       u"CSVファイルがディスク上で変更されました。\n大きさが 12 バイトから 3 バイトになりました。"},
      {"appended",
       [](const std::string& path, TempDir&) {
         std::FILE* file = std::fopen(path.c_str(), "ab");
         std::fputs("g,h\n", file);
         std::fclose(file);
       },
       FileState::Changed,
       u"CSVファイルがディスク上で変更されました。\n大きさが 12 バイトから 16 "
       u"バイトになりました。"},
      {"overwritten in place",
       [](const std::string& path, TempDir&) {
         struct stat before {};
         ASSERT_EQ(::stat(path.c_str(), &before), 0);
         const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
         ASSERT_EQ(::pwrite(fd, "X", 1, 0), 1);
         // Same size, a later time (set, since two writes may fall in one tick of the clock).
         const timespec times[2] = {before.st_atim,
                                    {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
         ASSERT_EQ(::futimens(fd, times), 0);
         ::close(fd);
       },
       FileState::Changed, u"CSVファイルがディスク上で変更されました。\n更新日時が変わりました。"},
      {"replaced by a new file",
       [](const std::string& path, TempDir& dir) {
         ASSERT_EQ(std::rename(dir.Write("new.csv", "a,b\nc,d\ne,f\n").c_str(), path.c_str()), 0);
       },
       FileState::Changed,
       u"CSVファイルがディスク上で変更されました。\n同じ名前の別のファイルに置き換えられました。"},
      {"deleted", [](const std::string& path, TempDir&) { ASSERT_EQ(::unlink(path.c_str()), 0); },
       FileState::Gone, FileGoneText},
      {"renamed",
       [](const std::string& path, TempDir& dir) {
         ASSERT_EQ(std::rename(path.c_str(), dir.Path("moved.csv").c_str()), 0);
       },
       FileState::Gone, FileGoneText},
  };
  for (const DiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("live.csv", bytes);
    TCsv csv;
    ASSERT_TRUE(csv.Load(FromUtf8(path)).ok());
    const std::shared_ptr<const CsvTable> table = csv.Share();
    c.change(path, temp_);
    const FileChange change = table->DiskChange();
    EXPECT_EQ(change.state, c.state);
    EXPECT_EQ(table->DiskState(), c.state);
    EXPECT_EQ(ToUtf8(FileChangeText(change)), ToUtf8(c.text));
    // A file that went is still the old content, whole.
    if (c.state != FileState::Changed) {
      EXPECT_EQ(table->Cell(2, 1), u"f");
    }
    std::remove(path.c_str());
  }
}

TEST_F(FileSourcesTest, TableTellsWhereReadingStoppedAtANul) {
  const struct {
    const char* name;
    std::string bytes;
    std::optional<std::uint64_t> stoppedAt;
    std::uint32_t rows;
  } cases[] = {
      // Nothing recognised: the ANSI code page, cut at the first zero byte.
      {"plain bytes", std::string("ab,c\0de", 7), 4, 1},
      {"an executable",
       std::string("\x7F"
                   "ELF\x02\x01\x01\0\0\0\x02",
                   11),
       7, 1},
      {"nothing before the NUL", std::string("\0abc", 4), 0, 0},
      {"UTF-16 LE",
       std::string("\xFF\xFE"
                   "a\0\0\0b\0",
                   8),
       4, 1},
      {"UTF-16 BE", std::string("\xFE\xFF\0a\0b\0\0\0c", 10), 6, 1},
      // UTF-8 reads on past a NUL, which the dialect drops.
      {"UTF-8",
       std::string("\xEF\xBB\xBF"
                   "a\0b",
                   6),
       std::nullopt, 1},
      {"no NUL", "a,b\n", std::nullopt, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    const CsvLoadResult result = csv.Load(FromUtf8(Write("nul.csv", c.bytes)));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.stoppedAt, c.stoppedAt);
    EXPECT_EQ(csv.GetRowCount(), c.rows);
    if (c.rows != 0) {
      EXPECT_EQ(csv.Share()->StoppedAt(), c.stoppedAt);
    }
  }
  // The NUL itself is counted from 1, in the grouping the sizes use.
  EXPECT_EQ(StoppedAtText(7), u"読み込みは 8 バイト目で止まりました（NUL文字）");
  EXPECT_EQ(StoppedAtText(1233), u"読み込みは 1,234 バイト目で止まりました（NUL文字）");
  EXPECT_EQ(StoppedAtText(999999), u"読み込みは 1,000,000 バイト目で止まりました（NUL文字）");
}

}  // namespace
}  // namespace norvalis::test
