#include "check/ColumnCheck.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace norvalis {
namespace {

using Outcome = CheckResult::Outcome;

struct CheckCase {
  const char* name;
  std::u16string text;
  bool title;
  std::int64_t column;
  Outcome outcome;
  std::uint32_t rowIndex;  // for Differs
  std::u16string cell;     // for Differs
  std::uint64_t compared;
  std::uint64_t toCompare;
};

TEST(ColumnCheck, OutcomesFollowTheRowsAndTheTitleFlag) {
  const std::vector<CheckCase> cases = {
      {"EmptyTable", u"", false, 0, Outcome::NoRows, 0, u"", 0, 0},
      {"TitleOnlyRow", u"a", true, 0, Outcome::NoRows, 0, u"", 0, 0},
      {"OneRowNoTitleMatches", u"a", false, 0, Outcome::AllMatch, 0, u"", 0, 0},
      {"TitleAndOneRowCompareNothing", u"h\nx", true, 0, Outcome::AllMatch, 0, u"", 0, 0},
      {"ThirdRowDiffers", u"a\na\nb", false, 0, Outcome::Differs, 2, u"b", 1, 2},
      {"EmptyCellDiffers", u"a\na\n\nz", false, 0, Outcome::Differs, 2, u"", 1, 3},
      {"CaseDiffers", u"a\nA", false, 0, Outcome::Differs, 1, u"A", 0, 1},
      {"TrailingBlankDiffers", u"a\na ", false, 0, Outcome::Differs, 1, u"a ", 0, 1},
      {"FullWidthDiffers", u"a\n\uFF41", false, 0, Outcome::Differs, 1, u"\uFF41", 0, 1},
      {"EmptyReferenceStopsAtFirstValue", u",x\n,y\nq,z", false, 0, Outcome::Differs, 2, u"q", 1,
       2},
      {"TitleRowNumbering", u"h\nv\nv\nw", true, 0, Outcome::Differs, 3, u"w", 1, 2},
      {"SecondColumn", u"1,a\n2,a\n3,a", false, 1, Outcome::AllMatch, 0, u"", 2, 2},
      {"ColumnBeyondTableReadsEmpty", u"1\n2", false, 5, Outcome::AllMatch, 0, u"", 1, 1},
      {"FixedColumnReadsEmpty", u"1\n2", false, -1, Outcome::AllMatch, 0, u"", 1, 1},
      {"PaddedCellsAreEmpty", u"a,\nb,c\nd", false, 1, Outcome::Differs, 1, u"c", 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(c.text));
    const CheckResult r = CheckColumn(csv.Table(), c.title, c.column);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.compared, c.compared);
    EXPECT_EQ(r.toCompare, c.toCompare);
    if (c.outcome == Outcome::Differs) {
      EXPECT_EQ(r.rowIndex, c.rowIndex);
      EXPECT_EQ(r.cell, c.cell);
    }
  }
}

TEST(ColumnCheck, TextsCarryTheRowNumberAndTheCell) {
  const struct {
    std::u16string text;
    std::u16string status;
    std::u16string message;
  } cases[] = {
      {u"a\na\nb", u"3行目のデータが異なります。セルの値：b",
       u"3行目のデータが異なります。\nセルの値：b"},
      // An empty differing cell leaves nothing after the colon.
      {u"a\na\n\nq", u"3行目のデータが異なります。セルの値：",
       u"3行目のデータが異なります。\nセルの値："},
      {u"", u"検証する行がありません。", u"検証する行がありません。"},
      {u"x\nx", u"すべての値が一致しました。", u"すべての値が一致しました。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.status));
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(c.text));
    const CheckResult r = CheckColumn(csv.Table(), false, 0);
    EXPECT_EQ(CheckStatusText(r), c.status);
    EXPECT_EQ(CheckMessageText(r), c.message);
  }
}

TEST(ColumnCheck, HookReportsProgressAndAClearDuringTheRunLeavesTheHeldTable) {
  std::u16string text;
  for (int i = 0; i < 200000; ++i)
    text += u"same\n";
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(text));
  std::uint64_t lastDone = 0;
  std::uint64_t lastTotal = 0;
  int calls = 0;
  YieldHook hook([&](std::uint64_t done, std::uint64_t total) {
    ++calls;
    EXPECT_GE(done, lastDone);
    lastDone = done;
    lastTotal = total;
  });
  const CheckResult r = CheckColumn(csv.Table(), false, 0, &hook);
  EXPECT_EQ(r.outcome, Outcome::AllMatch);
  EXPECT_EQ(r.compared, 199999u);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(lastTotal, 199999u);

  // The table the check was given is read to its end, whatever happens to its owner meanwhile.
  const std::shared_ptr<const CsvTable> held = csv.Share();
  YieldHook clearing([&](std::uint64_t, std::uint64_t) { csv.Clear(); });
  const CheckResult cleared = CheckColumn(*held, false, 0, &clearing);
  EXPECT_TRUE(csv.IsEmpty());
  EXPECT_EQ(cleared.outcome, Outcome::AllMatch);
  EXPECT_EQ(cleared.compared, 199999u);
}

}  // namespace
}  // namespace norvalis
