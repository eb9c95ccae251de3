// Loads that fail carry their reason and text; the document keeps what its loads made.

#include "csv/CsvDocument.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <string>

#include "CsvTestSupport.h"
#include "check/ColumnCheck.h"
#include "text/Exception.h"
#include "text/FileUtility.h"

namespace norvalis {
namespace {

namespace Seams = TFileUtility::Testing;
using CsvLoadTest = test::ReaderTest;

int denyOpen(const char*, int) {
  errno = EACCES;
  return -1;
}

void failAllocation(std::uint64_t) {
  throw std::bad_alloc();
}

UnicodeString OpenErrorText(const std::string& path, int errnum) {
  return EFOpenError::ForPath(FromUtf8(path), errnum).Message();
}

TEST_F(CsvLoadTest, FailedLoadCarriesItsReasonAndText) {
  const std::string file = Write("a.csv", "a,b\n");
  const std::string missing = Path("missing.csv");
  const std::string inMissingFolder = Path("none/a.csv");
  const UnicodeString memoryText = TFileUtility::MemoryMessage;
  const struct {
    const char* name;
    std::string path;
    Seams::OpenFunction open;
    Seams::HoldFunction hold;
    bool cancel;
    CsvLoadError error;
    UnicodeString message;
  } cases[] = {
      {"loaded", file, nullptr, nullptr, false, CsvLoadError::None, u""},
      {"missing", missing, nullptr, nullptr, false, CsvLoadError::Missing,
       OpenErrorText(missing, ENOENT)},
      {"missing folder", inMissingFolder, nullptr, nullptr, false, CsvLoadError::Missing,
       OpenErrorText(inMissingFolder, ENOENT)},
      {"folder", dir_, nullptr, nullptr, false, CsvLoadError::Folder, OpenErrorText(dir_, EISDIR)},
      {"denied", file, denyOpen, nullptr, false, CsvLoadError::Unreadable,
       OpenErrorText(file, EACCES)},
      {"no memory", file, nullptr, failAllocation, false, CsvLoadError::OutOfMemory, memoryText},
      {"cancelled", file, nullptr, nullptr, true, CsvLoadError::Cancelled, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seams::SetOpenFunction(c.open);
    Seams::SetHoldFunction(c.hold);
    const std::atomic<bool> cancel{c.cancel};
    CsvDocument document;
    const CsvLoadResult result = document.Load(FromUtf8(c.path), 0, {}, &cancel);
    Seams::SetOpenFunction(nullptr);
    Seams::SetHoldFunction(nullptr);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.ok(), c.error == CsvLoadError::None);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(document.LastResult().error, c.error);
    EXPECT_EQ(document.FileName(), FromUtf8(c.path));
    EXPECT_EQ(document.Csv().GetRowCount(), result.ok() ? 1u : 0u);
  }
}

TEST_F(CsvLoadTest, CancelWhileTheLoadRunsStopsIt) {
  std::string quoted;
  for (int i = 0; i < 1000000; ++i)
    quoted += "\"x,y\",z\n";
  const std::string path = Write("big.csv", quoted);
  {
    // Asked before the load begins: the pass on every core stops as well, whatever the speed.
    std::atomic<bool> cancel{true};
    CsvDocument document;
    const CsvLoadResult result = document.Load(FromUtf8(path), 0, YieldHook(), &cancel);
    EXPECT_EQ(result.error, CsvLoadError::Cancelled);
    EXPECT_TRUE(document.Csv().IsEmpty());
  }
  // Tried again on a machine fast enough to load the file without a report.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::atomic<bool> cancel{false};
    int calls = 0;
    CsvDocument document;
    const CsvLoadResult result =
        document.Load(FromUtf8(path), 0, YieldHook([&](std::uint64_t, std::uint64_t) {
                        ++calls;
                        cancel = true;  // reports come on elapsed time; the load must end soon
                      }),
                      &cancel);
    if (calls == 0) continue;
    EXPECT_EQ(result.error, CsvLoadError::Cancelled);
    EXPECT_EQ(result.message, u"");
    EXPECT_TRUE(document.Csv().IsEmpty());
    return;
  }
  // A machine that loads the file before its first report has still checked the case above.
}

TEST_F(CsvLoadTest, CodePageAskedForOverridesDetection) {
  // "あいうえお,かきくけこ" in Shift_JIS; read as EUC-JP it is other text.
  const std::string path = Write(
      "sj.csv",
      "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x2C\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1\x0A");
  CsvDocument document;
  ASSERT_TRUE(document.Load(FromUtf8(path)).ok());
  EXPECT_EQ(document.Csv().GetCell(0, 0), u"あいうえお");
  EXPECT_EQ(document.Csv().CodePage(), 932u);
  ASSERT_TRUE(document.Load(FromUtf8(path), 20932).ok());
  EXPECT_EQ(document.CodePageAsked(), 20932u);
  EXPECT_EQ(document.Csv().CodePage(), 20932u);
  EXPECT_NE(document.Csv().GetCell(0, 0), u"あいうえお");
}

TEST_F(CsvLoadTest, DocumentTakesAWorkersTableAndReportsStaleness) {
  const std::string path = Write("a.csv", "a,b\nc,d\n");
  CsvDocument document;
  TCsv loaded;
  const CsvLoadResult result = CsvDocument::Read(loaded, FromUtf8(path), 0, {}, nullptr);
  ASSERT_TRUE(result.ok());
  document.Take(FromUtf8(path), 0, loaded, result);
  EXPECT_TRUE(loaded.IsEmpty());
  EXPECT_EQ(document.Csv().GetCell(1, 1), u"d");
  EXPECT_EQ(CheckColumn(document.Csv().Table(), false, 1).outcome, CheckResult::Outcome::Differs);

  EXPECT_FALSE(document.Stale());
  bool stale = true;
  document.SetStaleProbe([&](const CsvTable&) { return stale; });
  EXPECT_TRUE(document.Stale());
  stale = false;
  EXPECT_FALSE(document.Stale());
  stale = true;
  document.Clear();
  EXPECT_FALSE(document.Stale()) << "no table, nothing to go stale";

  // A failed read leaves the document empty, whatever it held.
  ASSERT_TRUE(document.Load(FromUtf8(path)).ok());
  TCsv none;
  const CsvLoadResult missing = CsvDocument::Read(none, FromUtf8(Path("x.csv")), 0, {}, nullptr);
  document.Take(FromUtf8(Path("x.csv")), 0, none, missing);
  EXPECT_TRUE(document.Csv().IsEmpty());
  EXPECT_EQ(document.LastResult().error, CsvLoadError::Missing);
}

}  // namespace
}  // namespace norvalis
