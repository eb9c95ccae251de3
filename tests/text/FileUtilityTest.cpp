#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TextTestSupport.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"
#include "text/StringUtility.h"

namespace norvalis {
namespace {

using test::Bytes;
using TFileUtility::LoadFileToAnsiString;
using TFileUtility::LoadFileToUnicodeString;
namespace Seams = TFileUtility::Testing;

const UnicodeString MemoryMessage =
    u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation";

using FileUtilityTest = test::ReaderTest;

// Runs the load and returns the message it raised, or fails when it raised nothing.
template <class Error, class Load>
UnicodeString messageOf(Load load, const std::string& path) {
  try {
    load(FromUtf8(path), nullptr);
  } catch (const Error& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no exception for " << path;
  return {};
}
AnsiString loadAnsi(const UnicodeString& path, std::uint16_t*) {
  return LoadFileToAnsiString(path);
}

UnicodeString openErrorMessage(const std::string& path, int errnum) {
  return u"ファイル " + FromUtf8(path) + u" は開けません。 " + SystemErrorText(errnum) + u" ";
}

TEST_F(FileUtilityTest, ReadsEveryByteUnchanged) {
  const struct {
    const char* file;
    std::string bytes;
  } cases[] = {
      {"empty.csv", ""},
      {"text.csv", "a,b\r\n1,2\r\n"},
      {"zero.csv", std::string("\0\0A\0", 4)},
      {"high.csv", "\xFF\xFE\x82\xA0\x80"},
      {"larger-than-one-read.csv", std::string(3 * 1024 * 1024 + 7, '\x5A')},
      {"住所一覧.csv", "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = Write(c.file, c.bytes);
    const AnsiString content = LoadFileToAnsiString(FromUtf8(path));
    EXPECT_EQ(content.size(), c.bytes.size());
    EXPECT_TRUE(content == c.bytes);
  }
}

TEST_F(FileUtilityTest, ReadsAFileAnotherWriterKeepsOpen) {
  const std::string path = Write("open.csv", "abc");
  const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(path)), "abc");
  ::close(writer);
}

// What is not a regular file, or tells no size, is read to its end as cat reads it.
TEST_F(FileUtilityTest, FifoAndFilesWithoutASizeAreReadToTheirEnd) {
  const std::string fifo = Path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string bytes = "a,b\n" + std::string(200000, 'x');
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  });
  const AnsiString read = LoadFileToAnsiString(FromUtf8(fifo));
  writer.join();
  EXPECT_TRUE(read == bytes);
  // The system's files tell a size of 0 and still hold text.
  if (std::filesystem::exists("/proc/version")) {
    EXPECT_EQ(LoadFileToAnsiString(u"/proc/version").rfind("Linux", 0), 0u);
    EXPECT_EQ(ToUtf8(LoadFileToUnicodeString(u"/proc/version")).rfind("Linux", 0), 0u);
  }
}

int denyOpen(const char*, int) {
  errno = EACCES;
  return -1;
}
int openWriteOnly(const char* path, int) {
  return ::open(path, O_WRONLY | O_CLOEXEC);
}

// Both readers raise the same open error, with the system's reason.
TEST_F(FileUtilityTest, UnreadableFileRaisesTheOpenErrorWithItsReason) {
  const std::string file = Write("file.csv", "abc");
  const struct {
    const char* name;
    std::string path;
    Seams::OpenFunction open;
    int errnum;
  } cases[] = {
      {"missing", Path("missing.csv"), nullptr, ENOENT},
      {"directory", dir_, nullptr, EISDIR},
      {"open denied", file, denyOpen, EACCES},
      // A descriptor that cannot be read from makes the read itself fail.
      {"read fails", file, openWriteOnly, EBADF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seams::SetOpenFunction(c.open);
    EXPECT_EQ(messageOf<EFOpenError>(loadAnsi, c.path), openErrorMessage(c.path, c.errnum));
    EXPECT_EQ(messageOf<EFOpenError>(LoadFileToUnicodeString, c.path),
              openErrorMessage(c.path, c.errnum));
  }
  Seams::SetOpenFunction(nullptr);
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(file)), "abc");
}

void failAllocation(AnsiString&, std::size_t) {
  throw std::bad_alloc();
}
void failLength(AnsiString&, std::size_t) {
  throw std::length_error("too long");
}

TEST_F(FileUtilityTest, AllocationFailureRaisesTheMemoryMessage) {
  const std::string path = Write("big.csv", "abc");
  for (auto resize : {failAllocation, failLength}) {
    Seams::SetResizeFunction(resize);
    EXPECT_EQ(messageOf<Exception>(loadAnsi, path), MemoryMessage);
  }
}

TEST_F(FileUtilityTest, EmptyFileNeedsNoBuffer) {
  const std::string path = Write("empty.csv", "");
  Seams::SetResizeFunction(failAllocation);
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(path)), "");
}

std::string shrinkingPath;
void shrinkThenResize(AnsiString& buffer, std::size_t size) {
  // The file loses its tail after its size was taken.
  EXPECT_EQ(::truncate(shrinkingPath.c_str(), 2), 0);
  buffer.resize(size);
}

TEST_F(FileUtilityTest, BytesNotDeliveredStayZero) {
  shrinkingPath = Write("shrink.csv", "abcdef");
  Seams::SetResizeFunction(shrinkThenResize);
  EXPECT_TRUE(LoadFileToAnsiString(FromUtf8(shrinkingPath)) == std::string("ab\0\0\0\0", 6));
}

TEST_F(FileUtilityTest, FileLargerThanMemoryRaisesTheMemoryMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer aborts on an impossible allocation instead of throwing";
#else
  // Only where the kernel refuses allocations beyond memory; with overcommit always on the
  // buffer would really be filled.
  std::ifstream overcommit("/proc/sys/vm/overcommit_memory");
  int mode = 1;
  overcommit >> mode;
  if (mode == 1) GTEST_SKIP() << "overcommit always on";
  const std::string path = Write("sparse.csv", "");
  // 16 TB less a block, the most ext4 holds: a sparse file far beyond memory.
  if (::truncate(path.c_str(), (off_t{1} << 44) - 4096) != 0) GTEST_SKIP() << "no sparse file";
  EXPECT_EQ(messageOf<Exception>(loadAnsi, path), MemoryMessage);
#endif
}

// Past the detection window, so the file is read in pieces.
constexpr std::size_t LargeBytes = 160 * 1024;

// Lines of CSV-like fields drawn from the given characters, with a few faults placed right
// before an LF (where a piece ends) and a few lines far longer than a piece. The faults come
// after the detection window, which they could otherwise sway.
std::string makeLines(std::mt19937& rng, const std::string (&chars)[6], const std::string& bad,
                      const std::string& head, bool finalLf) {
  std::string out = head;
  while (out.size() < LargeBytes) {
    const unsigned kind = rng() % 40;
    const std::size_t fields = kind == 0 ? 900 : 1 + rng() % 8;
    for (std::size_t f = 0; f < fields; ++f) {
      if (f != 0) out += ',';
      const std::size_t length = rng() % 6;
      for (std::size_t k = 0; k < length; ++k)
        out +=
            rng() % 3 == 0 ? std::string(1, static_cast<char>('0' + rng() % 10)) : chars[rng() % 6];
    }
    if (kind == 1 && out.size() > TStringUtility::MaxDetectBytes) out += bad;
    out += rng() % 2 == 0 ? "\r\n" : "\n";
  }
  if (!finalLf) out += chars[0];
  return out;
}

std::string repeated(const std::string& head, const std::string& unit) {
  std::string out = head;
  while (out.size() < LargeBytes)
    out += unit;
  return out;
}

struct FileCase {
  const char* name;
  std::uint16_t codePage;  // what the detection must choose
  std::string bytes;
};

std::vector<FileCase> fileCases() {
  std::mt19937 rng(31337);
  const std::string utf8[6] = {"あ", "漢", "ｱ", "é", "😀", "―"};
  const std::string sjis[6] = {Bytes({0x82, 0xA0}), Bytes({0x8A, 0xBF}), Bytes({0xB1}),
                               Bytes({0x81, 0x5C}), Bytes({0x81, 0x50}), Bytes({0x88, 0x9F})};
  const std::string euc[6] = {Bytes({0xA4, 0xA2}),       Bytes({0xB4, 0xC1}), Bytes({0x8E, 0xB1}),
                              Bytes({0x8F, 0xA2, 0xF1}), Bytes({0xA1, 0xBD}), Bytes({0xB0, 0xA1})};
  return {
      {"UTF-8 with mark", 65001, makeLines(rng, utf8, Bytes({0xE3, 0x81}), "\xEF\xBB\xBF", true)},
      {"UTF-8 without mark, no final LF", 65001,
       makeLines(rng, utf8, Bytes({0xF0, 0x9F, 0x98}), "", false)},
      {"Shift_JIS", 932, makeLines(rng, sjis, Bytes({0x82}), "", true)},
      {"EUC-JP", 20932, makeLines(rng, euc, Bytes({0x8F, 0xA2}), "", false)},
      // Code pages that are never cut: the whole content is decoded at once.
      {"ISO-2022-JP", 50220, repeated("", "a,\x1B$B$\"4A\x1B(B,b\r\n")},
      {"UTF-16LE", 1200,
       repeated(Bytes({0xFF, 0xFE}), Bytes({0x42, 0x30, 0x2C, 0x00, 0x22, 0x6F, 0x0A, 0x00}))},
      {"small file", 65001, "a,\xE3\x81\x82\n"},
      {"empty file", 65535, ""},
  };
}

TEST_F(FileUtilityTest, UnicodeLoadEqualsReadingWholeThenConverting) {
  const std::vector<FileCase> cases = fileCases();
  for (const std::size_t piece :
       {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{0}}) {
    Seams::SetPieceBytes(piece);
    for (const FileCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", piece " + std::to_string(piece));
      const std::string path = Write("in.csv", c.bytes);
      std::uint16_t wholeCodePage = 0;
      const UnicodeString whole = TStringUtility::ConvertToUnicodeString(
          LoadFileToAnsiString(FromUtf8(path)), &wholeCodePage);
      ASSERT_EQ(wholeCodePage, c.codePage);
      std::uint16_t codePage = 1;
      const UnicodeString text = LoadFileToUnicodeString(FromUtf8(path), &codePage);
      EXPECT_EQ(codePage, wholeCodePage);
      EXPECT_EQ(text.size(), whole.size());
      EXPECT_TRUE(text == whole);
      // The code page is optional.
      EXPECT_TRUE(LoadFileToUnicodeString(FromUtf8(path)) == whole);
    }
  }
}

// A code page that is decoded whole needs the whole buffer, and says so when it cannot
// have it.
TEST_F(FileUtilityTest, UnicodeLoadWithoutTheWholeBufferRaisesTheMemoryMessage) {
  const std::string path = Write("jis.csv", fileCases()[4].bytes);
  Seams::SetResizeFunction(failAllocation);
  EXPECT_EQ(messageOf<Exception>(LoadFileToUnicodeString, path), MemoryMessage);
}

}  // namespace
}  // namespace norvalis
