#include "check/ColumnCheckAll.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

namespace norvalis {
namespace {

using Outcome = CheckResult::Outcome;

// Every column of the pass must report exactly what the single-column check reports for it.
TEST(ColumnCheckAll, AgreesWithTheSingleColumnCheckOnEveryColumn) {
  std::mt19937 random(13);
  const std::u16string values[] = {u"a", u"a", u"a", u"A", u"a ", u""};
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    const int rows = static_cast<int>(random() % 7);
    for (int r = 0; r < rows; ++r) {
      // Ragged rows: the table pads the short ones with empty cells.
      const int cols = static_cast<int>(random() % 4);
      for (int c = 0; c < cols; ++c)
        text += (c != 0 ? u"," : u"") + values[random() % std::size(values)];
      text += u'\n';
    }
    for (const bool title : {false, true}) {
      SCOPED_TRACE(testing::Message() << "round " << round << " title " << title);
      TCsv csv;
      ASSERT_TRUE(csv.LoadFromText(text));
      const AllColumnsResult all = CheckAllColumns(csv.Table(), title);
      bool anyDiffers = false;
      for (std::uint32_t col = 0; col < csv.GetColCount(); ++col) {
        const CheckResult one = CheckColumn(csv.Table(), title, col);
        if (one.outcome == Outcome::NoRows) {
          EXPECT_EQ(all.outcome, Outcome::NoRows);
          EXPECT_TRUE(all.columns.empty());
          break;
        }
        ASSERT_EQ(all.columns.size(), csv.GetColCount());
        const CheckResult& got = all.columns[col];
        EXPECT_EQ(got.outcome, one.outcome) << "column " << col;
        EXPECT_EQ(got.rowIndex, one.rowIndex) << "column " << col;
        EXPECT_EQ(got.cell, one.cell) << "column " << col;
        EXPECT_EQ(got.compared, one.compared) << "column " << col;
        EXPECT_EQ(got.toCompare, one.toCompare) << "column " << col;
        anyDiffers = anyDiffers || one.outcome == Outcome::Differs;
      }
      if (all.outcome != Outcome::NoRows) {
        EXPECT_EQ(all.outcome, anyDiffers ? Outcome::Differs : Outcome::AllMatch);
      }
    }
  }
}

TEST(ColumnCheckAll, LinesNameTheColumnItsTitleAndTheFirstDifference) {
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"id,name,note\n1,x,same\n2,x,same\n3,\"a\tb\",same\n"));
  const AllColumnsResult result = CheckAllColumns(csv.Table(), true);
  EXPECT_EQ(result.outcome, Outcome::Differs);
  const std::vector<AllColumnsLine> lines = AllColumnsLines(result);
  ASSERT_EQ(lines.size(), 3u);
  // Numbered as the single check numbers rows: the title line counts.
  EXPECT_EQ(lines[0].letter, u"A");
  EXPECT_EQ(lines[0].title, u"id");
  EXPECT_EQ(lines[0].result, u"3行目");
  EXPECT_EQ(lines[0].value, u"2");
  EXPECT_EQ(lines[1].result, u"4行目");
  EXPECT_EQ(lines[2].result, u"一致");
  EXPECT_EQ(lines[2].value, u"");
  EXPECT_EQ(AllColumnsTsv(lines), u"A\tid\t3行目\t2\nB\tname\t4行目\t\"a\tb\"\nC\tnote\t一致\t\n");
}

TEST(ColumnCheckAll, NoRowsWithoutATableOrWithOnlyTheTitle) {
  EXPECT_EQ(CheckAllColumns(CsvTable::Empty(), false).outcome, Outcome::NoRows);
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"h1,h2"));
  EXPECT_EQ(CheckAllColumns(csv.Table(), true).outcome, Outcome::NoRows);
  EXPECT_EQ(CheckAllColumns(csv.Table(), false).outcome, Outcome::AllMatch);
}

}  // namespace
}  // namespace norvalis

namespace norvalis {
namespace {

// Both checks stop at their cancel flag long before the end of a long equal column, and run
// to the end without it.
TEST(ColumnCheckCancel, BothChecksStopSoonAfterTheFlag) {
  std::u16string text;
  for (int r = 0; r < 200'000; ++r)
    text += u"a,b\n";
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(text));
  for (const bool cancelled : {false, true}) {
    SCOPED_TRACE(cancelled ? "cancelled" : "not cancelled");
    const std::atomic<bool> cancel{cancelled};
    const CheckResult one = CheckColumn(csv.Table(), false, 1, nullptr, &cancel);
    const AllColumnsResult all = CheckAllColumns(csv.Table(), false, nullptr, &cancel);
    if (cancelled) {
      EXPECT_NE(one.outcome, CheckResult::Outcome::AllMatch);
      EXPECT_LT(one.compared, 100'000u) << "the check ran on past its flag";
      EXPECT_NE(all.outcome, CheckResult::Outcome::AllMatch);
    } else {
      EXPECT_EQ(one.outcome, CheckResult::Outcome::AllMatch);
      EXPECT_EQ(one.compared, 199'999u);
      EXPECT_EQ(all.outcome, CheckResult::Outcome::AllMatch);
    }
  }
}

}  // namespace
}  // namespace norvalis
