// TCsv::Load: the reason of a failure, the chosen code page and cancelling.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <new>
#include <string>

#include "CsvTestSupport.h"
#include "csv/Csv.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"

namespace norvalis {
namespace {

class CsvLoad : public test::ReaderTest {
 protected:
  UnicodeString write(const std::string& name, const std::string& bytes) {
    return FromUtf8(Write(name, bytes));
  }
};

TEST_F(CsvLoad, FailuresSayWhyAndLeaveTheTableAsItWas) {
  const UnicodeString folder = FromUtf8(Path(""));
  const UnicodeString missing = FromUtf8(Path("missing.csv"));
  const struct {
    const char* name;
    UnicodeString path;
    CsvLoadError error;
  } cases[] = {
      {"missing", missing, CsvLoadError::Missing},
      {"folder", folder, CsvLoadError::Folder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(u"kept"));
    const CsvLoadResult result = csv.Load(c.path);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, c.error);
    EXPECT_NE(result.message.find(c.path), UnicodeString::npos);
    EXPECT_EQ(csv.GetCell(0, 0), u"kept");
  }
}

TEST_F(CsvLoad, UnreadableFileIsNotMissing) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const UnicodeString path = write("locked.csv", "a\n");
  ASSERT_EQ(::chmod(ToUtf8(path).c_str(), 0), 0);
  TCsv csv;
  EXPECT_EQ(csv.Load(path).error, CsvLoadError::Unreadable);
}

TEST_F(CsvLoad, MemoryThatCannotBeHadIsOutOfMemory) {
  const UnicodeString path = write("big.csv", "a,b\n");
  TFileUtility::Testing::SetHoldFunction([](std::uint64_t) { throw std::bad_alloc(); });
  TCsv csv;
  const CsvLoadResult result = csv.Load(path);
  EXPECT_EQ(result.error, CsvLoadError::OutOfMemory);
  EXPECT_EQ(result.message, TFileUtility::MemoryMessage);
  EXPECT_TRUE(csv.IsEmpty());
}

TEST_F(CsvLoad, CancelledBeforeItStartsLoadsNothingAndSaysNothing) {
  const UnicodeString path = write("a.csv", "a,b\n");
  const std::atomic<bool> cancel{true};
  TCsv csv;
  const CsvLoadResult result = csv.Load(path, 0, &cancel);
  EXPECT_EQ(result.error, CsvLoadError::Cancelled);
  EXPECT_TRUE(result.message.empty());
  EXPECT_TRUE(csv.IsEmpty());
}

TEST_F(CsvLoad, ChosenCodePageDecodesInsteadOfTheGuess) {
  // "あ" in EUC-JP is A4 A2; as Shift_JIS those are two half-width katakana.
  const std::string euc = "\xA4\xA2,x\n";
  const std::string big = [&] {
    std::string bytes;
    // Beyond the detection window, so the file is decoded piece by piece.
    while (bytes.size() < 300000)
      bytes += euc;
    return bytes;
  }();
  const struct {
    const char* name;
    std::string bytes;
    std::uint16_t chosen;
    std::u16string cell;
    std::uint16_t used;
  } cases[] = {
      {"detected", euc, 0, u"あ", 20932},
      {"as Shift_JIS", euc, 932, u"\uFF64\uFF62", 932},
      {"large, as Shift_JIS", big, 932, u"\uFF64\uFF62", 932},
      {"large, detected", big, 0, u"あ", 20932},
      {"UTF-7", "+MEIwRA-,a+-b\n", 65000, u"あい", 65000},
      {"UTF-7 beyond the BMP", "+2D3eAA-x\n", 65000, u"\U0001F600x", 65000},
      {"UTF-8 mark dropped", "\xEF\xBB\xBFz\n", 65001, u"z", 65001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFileUtility::Testing::SetPieceBytes(4096);
    const UnicodeString path = write("c.csv", c.bytes);
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(u"old"));
    ASSERT_TRUE(csv.Load(path, c.chosen).ok());
    EXPECT_EQ(csv.GetCell(0, 0), c.cell);
    EXPECT_EQ(csv.CodePage(), c.used);
    EXPECT_EQ(csv.GetCell(csv.GetRowCount() - 1, 0), c.cell);
  }
}

}  // namespace
}  // namespace norvalis
