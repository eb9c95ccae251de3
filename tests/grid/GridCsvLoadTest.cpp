#include "grid/GridCsv.h"

#include <string>
#include <vector>

#include <QPointer>
#include <QTemporaryDir>
#include <QApplication>

#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace norvalis {
namespace {

using test::Render;
using test::U16;

// Rows of quoted fields, so the parser works a while and calls its yield hook.
std::string QuotedTable(int rows, int cols) {
  std::string text;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      if (c) text += ',';
      text += "\"cell " + std::to_string(r) + "," + std::to_string(c) + "\"";
    }
    text += '\n';
  }
  return text;
}

// The layout invariants that hold between any two steps a caller can observe.
void ExpectConsistent(const TGridCsv& grid) {
  const std::int64_t tableRows = grid.Document().Csv().GetRowCount();
  const int fixedRows = grid.FirstLineIsTitle() ? 2 : 1;
  EXPECT_EQ(grid.FixedCols(), 1);
  EXPECT_EQ(grid.FixedRows(), fixedRows);
  EXPECT_EQ(grid.ColCount(),
            1 + std::max<int>(1, static_cast<int>(grid.Document().Csv().GetColCount())));
  EXPECT_EQ(grid.RowCount(), std::max<std::int64_t>(tableRows + 1, fixedRows + 1));
  EXPECT_EQ(grid.ColumnLabels().size(), static_cast<std::size_t>(grid.ColCount() - 1));
  EXPECT_GE(grid.Col(), 1);
  EXPECT_LT(grid.Col(), grid.ColCount());
  EXPECT_LT(grid.Row(), grid.RowCount());
}

using GridCsvLoadTest = test::FileTest;

TEST_F(GridCsvLoadTest, RepaintDuringLoadSeesTheEmptyLayout) {
  TGridCsv grid;
  grid.resize(500, 300);
  grid.show();
  test::LoadAndWait(grid, U16(File("first.csv", "a,b,c,d\n1,2,3,4\n")));
  ASSERT_EQ(grid.ColCount(), 5);
  grid.SetCol(4);

  int started = 0;
  int finished = 0;
  bool loadingSeen = false;
  QObject::connect(&grid.Document(), &TDocument::started, [&] {
    ++started;
    loadingSeen = grid.Document().IsLoading();
    EXPECT_TRUE(grid.Document().Csv().IsEmpty());
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.CellText(1, 1), u"");
    EXPECT_EQ(grid.CellText(0, 1), u"");
    Render(grid);  // a repaint in the middle of the load
  });
  QObject::connect(&grid.Document(), &TDocument::finished, [&] { ++finished; });
  test::LoadAndWait(grid, U16(File("second.csv", QuotedTable(2000, 5))));
  EXPECT_EQ(started, 1);
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(loadingSeen);
  EXPECT_FALSE(grid.Document().IsLoading());
  EXPECT_EQ(grid.ColCount(), 6);
  EXPECT_EQ(grid.RowCount(), 2001);
  EXPECT_EQ(grid.CellText(5, 2000), u"cell 1999,4");
  ExpectConsistent(grid);
}

TEST_F(GridCsvLoadTest, ProgressReportsStayWithinTheTotal) {
  TGridCsv grid;
  std::vector<std::pair<qint64, qint64>> reports;
  QObject::connect(
      &grid.Document(), &TDocument::progress,
      [&](TDocument::Task, qint64 done, qint64 total) { reports.emplace_back(done, total); });
  test::LoadAndWait(grid, U16(File("big.csv", QuotedTable(20000, 8))));
  EXPECT_EQ(grid.RowCount(), 20001);
  for (const auto& [done, total] : reports) {
    EXPECT_GE(done, 0);
    EXPECT_LE(done, total);
  }
}

TEST_F(GridCsvLoadTest, RequestsDuringLoadReplaceItAndTheLatestWins) {
  struct Case {
    const char* name;
    std::vector<std::string> during;  // file names asked for while the first load runs
    int cols;                         // data columns expected at the end
  };
  const std::string first = File("first.csv", QuotedTable(3000, 3));
  const std::string second = File("second.csv", QuotedTable(10, 7));
  const std::string third = File("third.csv", QuotedTable(4, 9));
  const Case cases[] = {
      {"one more load", {second}, 7},
      {"two more loads", {second, third}, 9},
      {"a clear", {""}, 1},
      {"a load, then a clear", {second, ""}, 1},
      {"a clear, then a load", {"", third}, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGridCsv grid;
    grid.resize(400, 300);
    grid.show();
    TDocument& document = grid.Document();
    std::vector<TDocument::Request> answered;
    QObject::connect(&document, &TDocument::finished,
                     [&](TDocument::Request request) { answered.push_back(request); });
    TDocument::Request last = document.StartLoad(U16(first));
    for (const std::string& name : c.during) {
      // The worker cannot answer before events run again; a clear leaves nothing running.
      EXPECT_EQ(document.IsBusy(), last != 0);
      if (name.empty()) {
        document.Clear();
        last = 0;
      } else {
        last = document.StartLoad(U16(name));
      }
      ExpectConsistent(grid);
    }
    ASSERT_TRUE(test::WaitFor([&] { return !document.IsBusy(); }));
    EXPECT_EQ(answered, last == 0 ? std::vector<TDocument::Request>{}
                                  : std::vector<TDocument::Request>{last});
    EXPECT_EQ(grid.ColCount(), c.cols + 1);
    EXPECT_EQ(document.Csv().GetColCount(), c.cols == 1 ? 0u : static_cast<unsigned>(c.cols));
    ExpectConsistent(grid);
    Render(grid);
  }
}

TEST_F(GridCsvLoadTest, TitleSwitchDuringLoadIsAppliedToTheLoadedTable) {
  TGridCsv grid;
  const TDocument::Request request =
      grid.Document().StartLoad(U16(File("t.csv", QuotedTable(500, 2))));
  grid.SetFirstLineIsTitle(true);
  ExpectConsistent(grid);
  ASSERT_TRUE(test::AnswerOf(grid.Document(), request).has_value());
  EXPECT_TRUE(grid.FirstLineIsTitle());
  EXPECT_EQ(grid.FixedRows(), 2);
  EXPECT_EQ(grid.RowCount(), 501);
  EXPECT_EQ(grid.CellText(0, 2), u"1");
  ExpectConsistent(grid);
}

TEST_F(GridCsvLoadTest, DestroyingTheGridDuringLoadsStopsTheirWorkers) {
  const std::string big = File("big.csv", QuotedTable(50000, 8));
  const std::string small = File("small.csv", "a,b\n");
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "a load replaced by another" : "one load");
    QPointer<TGridCsv> watched;
    bool answered = false;
    {
      auto* grid = new TGridCsv;
      watched = grid;
      QObject::connect(&grid->Document(), &TDocument::finished, [&] { answered = true; });
      grid->Document().StartLoad(U16(big));
      if (replaced) grid->Document().StartLoad(U16(small));
      delete grid;
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(watched.isNull());
    EXPECT_FALSE(answered) << "an answer came from a document that had gone";
  }
}

}  // namespace
}  // namespace norvalis
