#include "csv/Csv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "CsvTestSupport.h"

namespace norvalis {
namespace {

using test::ExpectEmpty;

TEST(TCsv, NewTableIsEmpty) {
  TCsv csv;
  ExpectEmpty(csv);
  EXPECT_EQ(csv.CodePage(), 0u);
}

TEST(TCsv, TextsWithoutRowsLoadAndLeaveTableEmpty) {
  for (const char16_t* text : {u"", u"\r\n", u"\n\n\n", u",,,\n,", u"\"\",\"\"\n"}) {
    SCOPED_TRACE(ToUtf8(text));
    TCsv csv;
    EXPECT_TRUE(csv.LoadFromText(UnicodeString(text)));
    ExpectEmpty(csv);
    EXPECT_TRUE(csv.LoadFromText(u"a")) << "still empty, so a load succeeds";
    EXPECT_EQ(csv.GetCell(0, 0), u"a");
  }
}

TEST(TCsv, LoadOnLoadedTableFailsAndChangesNothing) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"a,b\nc"));
  const UnicodeString copied = u"x,y,z\n1\n2";
  EXPECT_FALSE(csv.LoadFromText(copied));
  UnicodeString moved = u"x,y,z\n1\n2";
  EXPECT_FALSE(csv.LoadFromText(std::move(moved)));
  EXPECT_EQ(csv.GetRowCount(), 2u);
  EXPECT_EQ(csv.GetColCount(), 2u);
  EXPECT_EQ(csv.GetRows(), (CsvRows{{u"a", u"b"}, {u"c", u""}}));
}

TEST(TCsv, ClearEmptiesAndAllowsANewLoad) {
  TCsv csv;
  csv.Clear();
  ExpectEmpty(csv);
  ASSERT_TRUE(csv.LoadFromText(u"a,b"));
  csv.Clear();
  ExpectEmpty(csv);
  csv.Clear();
  ExpectEmpty(csv);
  ASSERT_TRUE(csv.LoadFromText(u"c\nd"));
  EXPECT_EQ(csv.GetRows(), (CsvRows{{u"c"}, {u"d"}}));
}

TEST(TCsv, ReadsOutsideTheCountsGiveEmptyText) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"a,b,c\nd"));
  struct Case {
    std::uint32_t row;
    std::uint32_t col;
    const char16_t* text;
  };
  const Case cases[] = {{0, 0, u"a"},
                        {0, 2, u"c"},
                        {1, 0, u"d"},
                        {1, 1, u""},
                        {1, 2, u""},
                        {2, 0, u""},
                        {0, 3, u""},
                        {2, 3, u""},
                        {0, UINT32_MAX, u""},
                        {UINT32_MAX, 0, u""},
                        {UINT32_MAX, UINT32_MAX, u""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.row << "," << c.col);
    EXPECT_EQ(csv.GetCell(c.row, c.col), UnicodeString(c.text));
  }
}

TEST(TCsv, GetRowsIsPaddedToTheWidestRow) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"\n1\n2,3,4\n5,6"));
  EXPECT_EQ(csv.GetRows(),
            (CsvRows{{u"", u"", u""}, {u"1", u"", u""}, {u"2", u"3", u"4"}, {u"5", u"6", u""}}));
}

TEST(TCsv, CellsAreStoredAsParsedWithoutTrimming) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"  a  ,\t\"b\" ,\"東京\r\n大阪\"\n全角　スペース"));
  EXPECT_EQ(csv.GetRows(),
            (CsvRows{{u"  a  ", u"\t\"b\" ", u"東京\n大阪"}, {u"全角　スペース", u"", u""}}));
}

TEST(TCsv, MovedTextIsIndexedInItsOwnBuffer) {
  UnicodeString text = u"abcdefghij,klmnop\r\nqrstuvwxyz";
  const char16_t* buffer = text.data();
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(std::move(text)));
  EXPECT_EQ(csv.Share()->RawCell(0, 0).data(), reinterpret_cast<const char*>(buffer));
  EXPECT_EQ(csv.GetCell(0, 1), u"klmnop");
  EXPECT_EQ(csv.GetCell(1, 0), u"qrstuvwxyz");
}

TEST(TCsv, SharedTableOutlivesClear) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"a,b\nc"));
  const std::shared_ptr<const CsvTable> table = csv.Share();
  ASSERT_NE(table, nullptr);
  csv.Clear();
  ASSERT_TRUE(csv.LoadFromText(u"x"));
  EXPECT_EQ(table->RowCount(), 2u);
  EXPECT_EQ(table->ColCount(), 2u);
  EXPECT_EQ(table->Cell(0, 1), u"b");
  EXPECT_EQ(table->Cell(1, 0), u"c");
  EXPECT_EQ(table->Cell(1, 1), u"");
  EXPECT_EQ(csv.GetCell(0, 0), u"x");
}

TEST(TCsv, SwapExchangesTables) {
  TCsv loaded;
  TCsv empty;
  ASSERT_TRUE(loaded.LoadFromText(u"a,b"));
  loaded.Swap(empty);
  ExpectEmpty(loaded);
  EXPECT_EQ(empty.GetRows(), (CsvRows{{u"a", u"b"}}));
  ASSERT_TRUE(loaded.LoadFromText(u"c"));
  loaded.Swap(empty);
  EXPECT_EQ(loaded.GetRows(), (CsvRows{{u"a", u"b"}}));
  EXPECT_EQ(empty.GetRows(), (CsvRows{{u"c"}}));
}

// Waits until a hook made now would fire on its first Tick.
YieldHook hookDueNow(YieldHook::Callback callback) {
  YieldHook hook(std::move(callback));
  const auto made = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - made < YieldHook::Interval) {
  }
  return hook;
}

TEST(TCsv, YieldHookReportsProgressOfTheParse) {
  const UnicodeString text(300000, u'x');
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  TCsv csv;
  csv.SetYieldHook(hookDueNow(
      [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); }));
  ASSERT_TRUE(csv.LoadFromText(text));
  ASSERT_FALSE(calls.empty());
  std::uint64_t previous = 0;
  for (const auto& [done, total] : calls) {
    EXPECT_EQ(total, text.size());
    EXPECT_GT(done, previous);
    EXPECT_LE(done, total);
    previous = done;
  }
  EXPECT_EQ(csv.GetCell(0, 0).size(), text.size());
}

TEST(TCsv, LoadMadeFromTheYieldHookIsNotOverwritten) {
  TCsv csv;
  bool reentered = false;
  csv.SetYieldHook(hookDueNow([&](std::uint64_t, std::uint64_t) {
    if (reentered) return;
    reentered = true;
    csv.SetYieldHook(YieldHook());
    EXPECT_TRUE(csv.LoadFromText(u"inner"));
  }));
  EXPECT_FALSE(csv.LoadFromText(UnicodeString(200000, u'o')));
  EXPECT_TRUE(reentered);
  EXPECT_EQ(csv.GetRows(), (CsvRows{{u"inner"}}));
}

class TCsvFile : public test::ReaderTest {
 protected:
  UnicodeString write(const std::string& name, const std::string& bytes) {
    return FromUtf8(Write(name, bytes));
  }
};

TEST_F(TCsvFile, LoadsUtf8File) {
  const UnicodeString path = write("名前.csv", "名前,値\r\n\"東京,大阪\",1\r\nあ\r\n");
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromFile(path));
  EXPECT_EQ(csv.GetRows(), (CsvRows{{u"名前", u"値"}, {u"東京,大阪", u"1"}, {u"あ", u""}}));
}

TEST_F(TCsvFile, CodePageOfTheLoadIsKeptUntilClear) {
  const UnicodeString path = write("bom.csv",
                                   "\xEF\xBB\xBF"
                                   "a,b\n");
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromFile(path));
  EXPECT_EQ(csv.CodePage(), 65001u);
  TCsv other;
  csv.Swap(other);
  EXPECT_EQ(csv.CodePage(), 0u);
  EXPECT_EQ(other.CodePage(), 65001u);
  other.Clear();
  EXPECT_EQ(other.CodePage(), 0u);
}

TEST_F(TCsvFile, LoadIntoLoadedTableFailsAndChangesNothing) {
  const UnicodeString path = write("b.csv", "x,y\n");
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"a"));
  EXPECT_FALSE(csv.LoadFromFile(path));
  EXPECT_FALSE(csv.LoadFromFile(FromUtf8(Path("missing.csv"))));
  EXPECT_EQ(csv.GetRows(), (CsvRows{{u"a"}}));
}

}  // namespace
}  // namespace norvalis
