#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>

#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"

namespace norvalis {
namespace {

using TFileUtility::LoadFileToAnsiString;

const UnicodeString MemoryMessage =
    u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation";

class FileUtilityTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvalis-text-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    TFileUtility::Testing::SetOpenFunction(nullptr);
    TFileUtility::Testing::SetResizeFunction(nullptr);
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

// Runs the load and returns the message it raised, or fails when it raised nothing.
template <class Error>
UnicodeString messageOf(const std::string& path) {
  try {
    LoadFileToAnsiString(FromUtf8(path));
  } catch (const Error& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no exception for " << path;
  return {};
}

TEST_F(FileUtilityTest, ReadsEveryByteUnchanged) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "a,b\r\n1,2\r\n"},
      {"zero bytes", std::string("\0\0A\0", 4)},
      {"high bytes", "\xFF\xFE\x82\xA0\x80"},
      {"larger than one read", std::string(3 * 1024 * 1024 + 7, '\x5A')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("file.csv", c.bytes);
    const AnsiString content = LoadFileToAnsiString(FromUtf8(path));
    EXPECT_EQ(content.size(), c.bytes.size());
    EXPECT_TRUE(content == c.bytes);
  }
}

TEST_F(FileUtilityTest, ReadsAJapaneseFileName) {
  const std::string path = Write("住所一覧.csv", "x");
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(path)), "x");
}

TEST_F(FileUtilityTest, ReadsAFileAnotherWriterKeepsOpen) {
  const std::string path = Write("open.csv", "abc");
  const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(path)), "abc");
  ::close(writer);
}

TEST_F(FileUtilityTest, MissingFileRaisesTheOpenError) {
  const std::string path = dir_ + "/missing.csv";
  const UnicodeString message = messageOf<EFOpenError>(path);
  EXPECT_EQ(message,
            u"ファイル " + FromUtf8(path) + u" は開けません。 " + SystemErrorText(ENOENT) + u" ");
  EXPECT_EQ(message.rfind(u"ファイル ", 0), 0u);
}

TEST_F(FileUtilityTest, DirectoryRaisesTheOpenError) {
  const UnicodeString message = messageOf<EFOpenError>(dir_);
  EXPECT_NE(message.find(SystemErrorText(EISDIR)), UnicodeString::npos);
}

TEST_F(FileUtilityTest, FifoReadsEmptyWithoutBlocking) {
  const std::string path = dir_ + "/pipe";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  // No writer: a blocking open or read would hang here.
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(path)), "");
}

TEST_F(FileUtilityTest, DeviceReadsEmpty) {
  EXPECT_EQ(LoadFileToAnsiString(u"/dev/zero"), "");
}

int denyOpen(const char*, int) {
  errno = EACCES;
  return -1;
}

TEST_F(FileUtilityTest, DeniedOpenRaisesTheOpenErrorWithItsReason) {
  const std::string path = Write("denied.csv", "abc");
  TFileUtility::Testing::SetOpenFunction(denyOpen);
  EXPECT_EQ(messageOf<EFOpenError>(path),
            u"ファイル " + FromUtf8(path) + u" は開けません。 " + SystemErrorText(EACCES) + u" ");
  TFileUtility::Testing::SetOpenFunction(nullptr);
  EXPECT_EQ(LoadFileToAnsiString(FromUtf8(path)), "abc");
}

int openWriteOnly(const char* path, int) {
  return ::open(path, O_WRONLY | O_CLOEXEC);
}

TEST_F(FileUtilityTest, ReadErrorRaisesTheOpenErrorWithItsReason) {
  const std::string path = Write("unreadable.csv", "abc");
  // A descriptor that cannot be read from makes the read itself fail.
  TFileUtility::Testing::SetOpenFunction(openWriteOnly);
  EXPECT_EQ(messageOf<EFOpenError>(path),
            u"ファイル " + FromUtf8(path) + u" は開けません。 " + SystemErrorText(EBADF) + u" ");
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
    TFileUtility::Testing::SetResizeFunction(resize);
    const UnicodeString message = messageOf<Exception>(path);
    EXPECT_EQ(message, MemoryMessage);
  }
}

TEST_F(FileUtilityTest, EmptyFileNeedsNoBuffer) {
  const std::string path = Write("empty.csv", "");
  TFileUtility::Testing::SetResizeFunction(failAllocation);
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
  TFileUtility::Testing::SetResizeFunction(shrinkThenResize);
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
  EXPECT_EQ(messageOf<Exception>(path), MemoryMessage);
#endif
}

}  // namespace
}  // namespace norvalis
