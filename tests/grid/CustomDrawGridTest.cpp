#include "grid/CustomDrawGrid.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

#include <QPainter>
#include <QScrollBar>

#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace norvalis {
namespace {

using test::Click;
using test::Drag;
using test::Render;
using test::SendKey;

// A grid that records what it is asked to draw and how often Click runs.
class RecordingGrid : public TCustomDrawGrid {
 public:
  struct Drawn {
    int col;
    std::int64_t row;
    QRect rect;
    DrawState state;
  };

  RecordingGrid() {
    connect(this, &TCustomDrawGrid::clicked, this, [this] { ++clickedSignals; });
    resize(400, 300);
    show();
  }

  std::vector<Drawn> drawn;
  int clicks = 0;
  int clickedSignals = 0;

  const Drawn* Find(int col, std::int64_t row) const {
    for (const auto& d : drawn) {
      if (d.col == col && d.row == row) return &d;
    }
    return nullptr;
  }

 protected:
  void DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                DrawState state) override {
    painter.fillRect(rect, Qt::white);
    drawn.push_back({col, row, rect, state});
  }
  void Click() override {
    ++clicks;
    TCustomDrawGrid::Click();
  }
};

TEST(CustomDrawGrid, NewGridHasToolkitDefaults) {
  RecordingGrid grid;
  EXPECT_EQ(grid.ColCount(), 5);
  EXPECT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(grid.FixedCols(), 1);
  EXPECT_EQ(grid.FixedRows(), 1);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.ColWidth(3), 64);
  EXPECT_EQ(grid.RowHeight(3), 24);
  EXPECT_EQ(grid.LeftCol(), 1);
  EXPECT_EQ(grid.TopRow(), 1);
}

TEST(CustomDrawGrid, CurrentCellOutsideGridRaisesGridIndexError) {
  struct Case {
    const char* name;
    std::function<void(RecordingGrid&)> set;
  };
  const Case cases[] = {
      {"column left of the grid", [](RecordingGrid& g) { g.SetCol(-1); }},
      {"column at the count", [](RecordingGrid& g) { g.SetCol(5); }},
      {"row left of the grid", [](RecordingGrid& g) { g.SetRow(-1); }},
      {"row at the count", [](RecordingGrid& g) { g.SetRow(5); }},
      {"fixed columns equal to the count", [](RecordingGrid& g) { g.SetFixedCols(5); }},
      {"fixed rows equal to the count", [](RecordingGrid& g) { g.SetFixedRows(5); }},
      {"negative fixed rows", [](RecordingGrid& g) { g.SetFixedRows(-1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingGrid grid;
    grid.SetCol(3);
    grid.SetRow(2);
    try {
      c.set(grid);
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidGridOperation& e) {
      EXPECT_EQ(e.Message(), u"グリッドインデックスが範囲を超えています");
    }
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.FixedRows(), 1);
  }
}

TEST(CustomDrawGrid, ShrinkingCountsKeepsCurrentCellInside) {
  struct Case {
    const char* name;
    int colCount;
    std::int64_t rowCount;
    int col;
    std::int64_t row;
  };
  // Current cell before: column 4, row 4.
  const Case cases[] = {
      {"fewer columns", 3, 5, 2, 4}, {"fewer rows", 5, 2, 4, 1},     {"both fewer", 2, 3, 1, 2},
      {"still inside", 5, 5, 4, 4},  {"more of both", 9, 100, 4, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingGrid grid;
    grid.SetCol(4);
    grid.SetRow(4);
    grid.SetColCount(c.colCount);
    grid.SetRowCount(c.rowCount);
    EXPECT_EQ(grid.Col(), c.col);
    EXPECT_EQ(grid.Row(), c.row);
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.FixedRows(), 1);
  }
}

TEST(CustomDrawGrid, CountNotAboveFixedCountLowersFixedCount) {
  RecordingGrid grid;
  grid.SetRowCount(1);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.FixedRows(), 0);
  EXPECT_EQ(grid.Row(), 0);
  grid.SetColCount(0);
  EXPECT_EQ(grid.ColCount(), 1);
  EXPECT_EQ(grid.FixedCols(), 0);
  EXPECT_EQ(grid.Col(), 0);
}

TEST(CustomDrawGrid, FixedRowChangePutsCurrentOnFirstFreeCellAndScrollsHome) {
  RecordingGrid grid;
  grid.SetColCount(50);
  grid.SetRowCount(1000);
  grid.SetCol(40);
  grid.SetRow(700);
  ASSERT_GT(grid.TopRow(), 1);
  ASSERT_GT(grid.LeftCol(), 1);

  grid.SetFixedRows(1);  // unchanged: nothing moves
  EXPECT_EQ(grid.Col(), 40);
  EXPECT_EQ(grid.Row(), 700);

  grid.SetFixedRows(2);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.TopRow(), 2);
  EXPECT_EQ(grid.LeftCol(), 1);
  EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
  EXPECT_EQ(grid.horizontalScrollBar()->value(), 0);
}

TEST(CustomDrawGrid, SettingColOrRowClicksOnlyOnChange) {
  RecordingGrid grid;
  grid.SetCol(1);
  grid.SetRow(1);
  EXPECT_EQ(grid.clicks, 0);
  grid.SetCol(3);
  EXPECT_EQ(grid.clicks, 1);
  grid.SetRow(4);
  EXPECT_EQ(grid.clicks, 2);
  EXPECT_EQ(grid.clickedSignals, 2);
}

TEST(CustomDrawGrid, KeyboardMovesCurrentCell) {
  struct Step {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    int col;
    std::int64_t row;
    bool clicked;
  };
  RecordingGrid grid;
  grid.SetColCount(30);
  grid.SetRowCount(1000);
  const std::int64_t page = grid.VisibleRowCount();
  ASSERT_GT(page, 1);
  const Step steps[] = {
      {"Right", Qt::Key_Right, Qt::NoModifier, 2, 1, true},
      {"Down", Qt::Key_Down, Qt::NoModifier, 2, 2, true},
      {"Left", Qt::Key_Left, Qt::NoModifier, 1, 2, true},
      {"Left stops at the fixed column", Qt::Key_Left, Qt::NoModifier, 1, 2, false},
      {"Up", Qt::Key_Up, Qt::NoModifier, 1, 1, true},
      {"Up stops at the fixed row", Qt::Key_Up, Qt::NoModifier, 1, 1, false},
      {"PageDown", Qt::Key_PageDown, Qt::NoModifier, 1, 1 + page, true},
      {"PageUp", Qt::Key_PageUp, Qt::NoModifier, 1, 1, true},
      {"End", Qt::Key_End, Qt::NoModifier, 29, 1, true},
      {"Home", Qt::Key_Home, Qt::NoModifier, 1, 1, true},
      {"Ctrl+End", Qt::Key_End, Qt::ControlModifier, 29, 999, true},
      {"Down stops at the last row", Qt::Key_Down, Qt::NoModifier, 29, 999, false},
      {"PageDown stops at the last row", Qt::Key_PageDown, Qt::NoModifier, 29, 999, false},
      {"Home keeps the row", Qt::Key_Home, Qt::NoModifier, 1, 999, true},
      {"Ctrl+Home", Qt::Key_Home, Qt::ControlModifier, 1, 1, true},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    const int before = grid.clickedSignals;
    SendKey(grid, s.key, s.modifiers);
    EXPECT_EQ(grid.Col(), s.col);
    EXPECT_EQ(grid.Row(), s.row);
    EXPECT_EQ(grid.clickedSignals - before, s.clicked ? 1 : 0);
    // The current cell is always on screen after a keyboard move.
    EXPECT_FALSE(grid.CellRect(grid.Col(), grid.Row()).isEmpty());
  }
}

TEST(CustomDrawGrid, HundredMillionRowsScrollAndPaintAtTheEnd) {
  RecordingGrid grid;
  grid.SetRowCount(100'000'000);
  SendKey(grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(grid.Row(), 99'999'999);
  EXPECT_EQ(grid.Col(), 4);
  const std::int64_t visible = grid.VisibleRowCount();
  EXPECT_EQ(grid.TopRow(), 100'000'000 - visible);
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), 100'000'000 - visible - 1);
  EXPECT_EQ(grid.verticalScrollBar()->value(), grid.verticalScrollBar()->maximum());

  grid.drawn.clear();
  Render(grid);
  const auto* last = grid.Find(4, 99'999'999);
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(last->state.selected);
  EXPECT_LE(last->rect.bottom(), grid.viewport()->height() - 1);
  for (const auto& d : grid.drawn) {
    if (d.row >= 1) {
      EXPECT_GE(d.row, grid.TopRow());
    }
  }
  EXPECT_NE(grid.Find(0, 0), nullptr);  // the fixed row and column stay
  // Only what is on screen is painted.
  EXPECT_LE(grid.drawn.size(), static_cast<std::size_t>((visible + 2) * 5));
}

TEST(CustomDrawGrid, VerticalScrollBarCountsRows) {
  RecordingGrid grid;
  grid.SetRowCount(100'000'000);
  grid.verticalScrollBar()->setValue(12'345'678);
  EXPECT_EQ(grid.TopRow(), 12'345'679);
  grid.drawn.clear();
  Render(grid);
  EXPECT_NE(grid.Find(1, 12'345'679), nullptr);
  EXPECT_EQ(grid.Find(1, 12'345'678), nullptr);
  grid.SetTopRow(50);
  EXPECT_EQ(grid.verticalScrollBar()->value(), 49);
}

TEST(CustomDrawGrid, RowsBeyondScrollBarRangeStillReachTheEnd) {
  RecordingGrid grid;
  const std::int64_t rows = 5'000'000'000;
  grid.SetRowCount(rows);
  QScrollBar* bar = grid.verticalScrollBar();
  EXPECT_EQ(bar->maximum(), INT_MAX);
  bar->setValue(bar->maximum());
  EXPECT_EQ(grid.TopRow(), rows - grid.VisibleRowCount());
  bar->setValue(bar->maximum() / 2);
  EXPECT_NEAR(static_cast<double>(grid.TopRow()), rows / 2.0, rows / 1e6);
  SendKey(grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(grid.Row(), rows - 1);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(CustomDrawGrid, HorizontalScrollBarCountsColumns) {
  RecordingGrid grid;
  grid.SetColCount(1'000'000);
  grid.horizontalScrollBar()->setValue(500'000);
  EXPECT_EQ(grid.LeftCol(), 500'001);
  SendKey(grid, Qt::Key_End);
  EXPECT_EQ(grid.Col(), 999'999);
  EXPECT_FALSE(grid.CellRect(999'999, 1).isEmpty());
  EXPECT_EQ(grid.horizontalScrollBar()->value(), grid.horizontalScrollBar()->maximum());
}

TEST(CustomDrawGrid, MouseClickOnDataCellMovesCurrentAndClicks) {
  RecordingGrid grid;
  const QRect target = grid.CellRect(3, 2);
  ASSERT_FALSE(target.isEmpty());
  Click(*grid.viewport(), target.center());
  EXPECT_EQ(grid.Col(), 3);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.clickedSignals, 1);

  // Fixed cells are not selectable.
  Click(*grid.viewport(), grid.CellRect(2, 0).center());
  Click(*grid.viewport(), grid.CellRect(0, 3).center());
  EXPECT_EQ(grid.Col(), 3);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.clickedSignals, 1);
}

TEST(CustomDrawGrid, UserDragsColumnAndRowSizesInTheFixedArea) {
  RecordingGrid grid;
  // Without the sizing options a drag at a border changes nothing.
  const int colBorder = grid.CellRect(1, 0).right() + 1;
  Drag(*grid.viewport(), QPoint(colBorder, 5), QPoint(colBorder + 30, 5));
  EXPECT_EQ(grid.ColWidth(1), 64);

  grid.SetOptions(grid.Options() | TCustomDrawGrid::ColSizing | TCustomDrawGrid::RowSizing);
  Drag(*grid.viewport(), QPoint(colBorder, 5), QPoint(colBorder + 30, 5));
  EXPECT_EQ(grid.ColWidth(1), 94);
  EXPECT_EQ(grid.ColWidth(2), 64);

  const int rowBorder = grid.CellRect(0, 2).bottom() + 1;
  Drag(*grid.viewport(), QPoint(5, rowBorder), QPoint(5, rowBorder - 10));
  EXPECT_EQ(grid.RowHeight(2), 14);
  EXPECT_EQ(grid.RowHeight(1), 24);

  // A border inside the data area is not a sizing handle.
  const int dataBorder = grid.CellRect(2, 3).right() + 1;
  Drag(*grid.viewport(), QPoint(dataBorder, grid.CellRect(2, 3).center().y()),
       QPoint(dataBorder + 40, grid.CellRect(2, 3).center().y()));
  EXPECT_EQ(grid.ColWidth(2), 64);
}

TEST(CustomDrawGrid, SizesAreSparseAndDroppedWithTheirRows) {
  RecordingGrid grid;
  grid.SetRowCount(100'000'000);
  grid.SetRowHeight(99'999'998, 50);
  grid.SetColWidth(4, 10);
  EXPECT_EQ(grid.RowHeight(99'999'998), 50);
  EXPECT_EQ(grid.RowHeight(99'999'997), 24);
  grid.SetRowCount(10);
  grid.SetColCount(3);
  grid.SetRowCount(100'000'000);
  grid.SetColCount(5);
  EXPECT_EQ(grid.RowHeight(99'999'998), 24);
  EXPECT_EQ(grid.ColWidth(4), 64);
  EXPECT_THROW(grid.SetColWidth(5, 10), EInvalidGridOperation);
}

TEST(CustomDrawGrid, PaintsEachCellWithItsState) {
  RecordingGrid grid;
  grid.SetCol(2);
  grid.SetRow(3);
  grid.drawn.clear();
  Render(grid);
  struct Case {
    int col;
    std::int64_t row;
    bool fixed;
    bool selected;
  };
  const Case cases[] = {{0, 0, true, false}, {2, 0, true, false},  {0, 3, true, false},
                        {2, 3, false, true}, {2, 2, false, false}, {1, 3, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.col << "," << c.row);
    const auto* d = grid.Find(c.col, c.row);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->state.fixed, c.fixed);
    EXPECT_EQ(d->state.selected, c.selected);
    EXPECT_EQ(d->rect, grid.CellRect(c.col, c.row));
  }
  // Cells are 64 × 24 with a one-pixel line to the right and below.
  EXPECT_EQ(grid.Find(0, 0)->rect, QRect(0, 0, 64, 24));
  EXPECT_EQ(grid.Find(1, 1)->rect, QRect(65, 25, 64, 24));
}

}  // namespace
}  // namespace norvalis
