#include "grid/GridCsv.h"

#include <string>
#include <vector>

#include <QFontMetrics>
#include <QPalette>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace norvalis {
namespace {

using test::ColorDistance;
using test::InkBox;
using test::Render;
using test::StrongestInk;
using test::U16;

class GridCsvTest : public test::FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    grid_.resize(600, 400);
    grid_.show();
  }

  void Load(const std::string& path) { test::LoadAndWait(grid_, U16(path)); }

  // The part of a cell that text may use: 2 pixels inside its edges.
  QRect Inset(int col, std::int64_t row) const {
    return grid_.CellRect(col, row).adjusted(2, 2, -2, -2);
  }
  // A pixel of the cell's background, where no text and no edge is drawn.
  QColor Background(const QImage& image, int col, std::int64_t row) const {
    const QRect r = grid_.CellRect(col, row);
    return image.pixelColor(r.left() + 1, r.top() + 1);
  }

  TGridCsv grid_;
};

const char* const ThreeByFour = "a,b,c,d\n1,2,3,4\nx,y,z,w\n";

TEST_F(GridCsvTest, NewGridShowsOneEmptyColumnLabelledA) {
  EXPECT_EQ(grid_.ColCount(), 2);
  EXPECT_EQ(grid_.RowCount(), 2);
  EXPECT_EQ(grid_.FixedCols(), 1);
  EXPECT_EQ(grid_.FixedRows(), 1);
  EXPECT_EQ(grid_.ColWidth(0), 50);
  EXPECT_EQ(grid_.ColWidth(1), 64);
  EXPECT_EQ(grid_.RowHeight(1), 24);
  EXPECT_FALSE(grid_.FirstLineIsTitle());
  EXPECT_EQ(grid_.ColumnLabels(), std::vector<UnicodeString>{u"A"});
  EXPECT_EQ(grid_.CellText(1, 0), u"A");
  EXPECT_EQ(grid_.CellText(0, 0), u"");
  EXPECT_EQ(grid_.CellText(0, 1), u"");  // no number without data
  EXPECT_EQ(grid_.CellText(1, 1), u"");
  EXPECT_EQ(grid_.Col(), 1);
  EXPECT_TRUE(grid_.Options().testFlag(TCustomDrawGrid::ColSizing));
  EXPECT_TRUE(grid_.Options().testFlag(TCustomDrawGrid::RowSizing));
  EXPECT_TRUE(grid_.Options().testFlag(TCustomDrawGrid::ThumbTracking));
  EXPECT_TRUE(grid_.verticalScrollBar()->hasTracking());
  EXPECT_TRUE(grid_.Document().Csv().IsEmpty());
}

TEST_F(GridCsvTest, LoadLaysOutRowsNumbersAndLabels) {
  struct Case {
    bool title;
    int fixedRows;
    // Expected texts of grid column 0 and grid column 1 for grid rows 1 to 3.
    std::vector<UnicodeString> numbers;
    std::vector<UnicodeString> firstColumn;
  };
  const Case cases[] = {
      {false, 1, {u"1", u"2", u"3"}, {u"a", u"1", u"x"}},
      {true, 2, {u"", u"1", u"2"}, {u"a", u"1", u"x"}},
  };
  const std::string path = File("three.csv", ThreeByFour);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title ? "with title" : "without title");
    grid_.SetFirstLineIsTitle(c.title);
    Load(path);
    EXPECT_EQ(grid_.ColCount(), 5);
    EXPECT_EQ(grid_.RowCount(), 4);
    EXPECT_EQ(grid_.FixedRows(), c.fixedRows);
    EXPECT_EQ(grid_.ColumnLabels(), (std::vector<UnicodeString>{u"A", u"B", u"C", u"D"}));
    for (int col = 1; col <= 4; ++col) {
      EXPECT_EQ(grid_.CellText(col, 0), grid_.ColumnLabels()[col - 1]);
    }
    for (int row = 1; row <= 3; ++row) {
      SCOPED_TRACE(row);
      EXPECT_EQ(grid_.CellText(0, row), c.numbers[row - 1]);
      EXPECT_EQ(grid_.CellText(1, row), c.firstColumn[row - 1]);
    }
    EXPECT_EQ(grid_.CellText(4, 3), u"w");
    EXPECT_EQ(grid_.Document().Csv().GetRowCount(), 3u);
  }
}

TEST_F(GridCsvTest, SingleLineWithTitleKeepsOneEmptyDataRow) {
  grid_.SetFirstLineIsTitle(true);
  Load(File("one.csv", "name,age\n"));
  EXPECT_EQ(grid_.RowCount(), 3);
  EXPECT_EQ(grid_.FixedRows(), 2);
  EXPECT_EQ(grid_.ColCount(), 3);
  EXPECT_EQ(grid_.CellText(1, 1), u"name");
  EXPECT_EQ(grid_.CellText(0, 1), u"");
  EXPECT_EQ(grid_.CellText(0, 2), u"");  // no data row, so no number
  EXPECT_EQ(grid_.CellText(1, 2), u"");
}

TEST_F(GridCsvTest, EmptyOrUnreadableFileGivesTheNewGridLayout) {
  struct Case {
    const char* name;
    std::string path;
    bool title;
    std::int64_t rows;
  };
  const std::string empty = File("empty.csv", "");
  const std::string blank = File("blank.csv", "\r\n\r\n");
  const std::string missing = Path("missing.csv");
  const std::string directory = dir_;
  const Case cases[] = {
      {"empty", empty, false, 2},
      {"empty with title", empty, true, 3},
      {"only line breaks", blank, false, 2},
      {"missing", missing, false, 2},
      {"missing with title", missing, true, 3},
      {"a directory", directory, false, 2},
  };
  const std::string loaded = File("wide.csv", ThreeByFour);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    grid_.SetFirstLineIsTitle(false);
    Load(loaded);
    grid_.SetFirstLineIsTitle(c.title);
    Load(c.path);
    EXPECT_EQ(grid_.ColCount(), 2);
    EXPECT_EQ(grid_.RowCount(), c.rows);
    EXPECT_EQ(grid_.FixedRows(), c.title ? 2 : 1);
    EXPECT_EQ(grid_.ColumnLabels(), std::vector<UnicodeString>{u"A"});
    EXPECT_EQ(grid_.CellText(1, 1), u"");
    EXPECT_EQ(grid_.CellText(0, c.rows - 1), u"");
    EXPECT_TRUE(grid_.Document().Csv().IsEmpty());
  }
}

TEST_F(GridCsvTest, ClearGivesTheNewGridLayoutAndKeepsTheTitleFlag) {
  grid_.SetFirstLineIsTitle(true);
  Load(File("three.csv", ThreeByFour));
  grid_.SetCol(3);
  grid_.Document().Clear();
  EXPECT_TRUE(grid_.Document().Csv().IsEmpty());
  EXPECT_TRUE(grid_.FirstLineIsTitle());
  EXPECT_EQ(grid_.ColCount(), 2);
  EXPECT_EQ(grid_.RowCount(), 3);
  EXPECT_EQ(grid_.ColumnLabels(), std::vector<UnicodeString>{u"A"});
  EXPECT_EQ(grid_.Col(), 1);
  EXPECT_EQ(grid_.CellText(1, 1), u"");
}

std::string BigTable(int rows, int cols) {
  std::string text;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      if (c) text += ',';
      // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on "text" + temporary.
      text += 'r';
      text += std::to_string(r);
      text += 'c';
      text += std::to_string(c);
    }
    text += '\n';
  }
  return text;
}

TEST_F(GridCsvTest, SwitchingTitleMakesFirstDataColumnCurrentAndScrollsHome) {
  Load(File("big.csv", BigTable(300, 40)));
  for (const bool title : {true, false}) {
    SCOPED_TRACE(title);
    grid_.SetCol(35);
    grid_.SetRow(250);
    ASSERT_GT(grid_.TopRow(), 2);
    ASSERT_GT(grid_.LeftCol(), 1);
    grid_.SetFirstLineIsTitle(title);
    EXPECT_EQ(grid_.ColCount(), 41);
    EXPECT_EQ(grid_.ColumnLabels().size(), 40u);
    EXPECT_EQ(grid_.ColumnLabels().back(), u"AN");
    EXPECT_EQ(grid_.RowCount(), 301);
    EXPECT_EQ(grid_.Col(), 1);
    EXPECT_EQ(grid_.Row(), title ? 2 : 1);
    EXPECT_EQ(grid_.TopRow(), title ? 2 : 1);
    EXPECT_EQ(grid_.LeftCol(), 1);
  }
  // Setting the same flag again moves nothing.
  grid_.SetCol(5);
  grid_.SetFirstLineIsTitle(false);
  EXPECT_EQ(grid_.Col(), 5);
}

TEST_F(GridCsvTest, LoadLeavesFirstDataColumnCurrent) {
  const std::string six = File("six.csv", BigTable(10, 6));
  Load(six);
  grid_.SetCol(4);
  grid_.SetRow(7);
  Load(six);
  EXPECT_EQ(grid_.Col(), 1);
  EXPECT_EQ(grid_.Row(), 7);  // the row stays while it exists
  Load(File("three.csv", ThreeByFour));
  EXPECT_EQ(grid_.Col(), 1);
  EXPECT_EQ(grid_.Row(), 3);  // otherwise the last row
}

TEST_F(GridCsvTest, LoadedTableIsSharedNotCopied) {
  Load(File("three.csv", ThreeByFour));
  // One reference in Csv, one in the grid's rows and the one taken here.
  EXPECT_EQ(grid_.Document().Csv().Share().use_count(), 3);
}

TEST_F(GridCsvTest, HeadersBeyondLabelListDrawNoText) {
  std::string line;
  for (int c = 0; c < 16390; ++c)
    line += c ? ",v" : "v";
  Load(File("wide.csv", line + "\n"));
  ASSERT_EQ(grid_.ColCount(), 16391);
  ASSERT_EQ(grid_.ColumnLabels().size(), 16384u);
  EXPECT_EQ(grid_.CellText(16384, 0), u"XFD");
  EXPECT_EQ(grid_.CellText(16385, 0), u"");
  EXPECT_EQ(grid_.CellText(16390, 0), u"");
  EXPECT_EQ(grid_.CellText(16390, 1), u"v");

  grid_.SetCol(16384);
  grid_.SetLeftCol(16383);
  const QImage image = Render(grid_);
  const QRect labelled = Inset(16384, 0);
  const QRect unlabelled = Inset(16385, 0);
  ASSERT_FALSE(labelled.isEmpty());
  ASSERT_FALSE(unlabelled.isEmpty());
  const QColor face = Background(image, 16385, 0);
  EXPECT_FALSE(InkBox(image, labelled, face).isEmpty());
  EXPECT_TRUE(InkBox(image, unlabelled, face).isEmpty());
}

TEST_F(GridCsvTest, PaintsFixedDataAndCurrentColumnColoursAndFollowsTheCurrentColumn) {
  grid_.SetFirstLineIsTitle(true);
  Load(File("three.csv", ThreeByFour));
  grid_.SetCol(2);
  grid_.SetRow(3);
  const QImage image = Render(grid_);
  const QPalette pal = grid_.palette();
  const QColor button = pal.color(QPalette::Button);
  const QColor base = pal.color(QPalette::Base);
  const QColor highlight = pal.color(QPalette::Highlight);
  struct Case {
    const char* name;
    int col;
    std::int64_t row;
    QColor brush;
  };
  const Case cases[] = {
      {"corner", 0, 0, button},
      {"header of the current column", 2, 0, button},
      {"title of the current column", 2, 1, button},
      {"row number", 0, 2, button},
      {"current column, first data row", 2, 2, highlight},
      {"current cell", 2, 3, highlight},
      {"other column", 1, 2, base},
      {"other column, current row", 3, 3, base},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Background(image, c.col, c.row), c.brush);
  }
  // Text colours: highlighted text in the current column's data cells, the normal text
  // colour elsewhere (the title cell of the current column included).
  const QColor text = pal.color(QPalette::Text);
  const QColor highlightedText = pal.color(QPalette::HighlightedText);
  const QColor currentInk = StrongestInk(image, Inset(2, 2), highlight);
  EXPECT_LT(ColorDistance(currentInk, highlightedText), ColorDistance(currentInk, text));
  const QColor titleInk = StrongestInk(image, Inset(2, 1), button);
  EXPECT_LT(ColorDistance(titleInk, text), ColorDistance(titleInk, highlightedText));
  const QColor otherInk = StrongestInk(image, Inset(3, 2), base);
  EXPECT_LT(ColorDistance(otherInk, text), 200);

  // Without a title the highlight starts at the first row; a new current column takes it over.
  grid_.SetFirstLineIsTitle(false);
  int clicked = 0;
  QObject::connect(&grid_, &TCustomDrawGrid::clicked, [&clicked] { ++clicked; });
  grid_.SetCol(4);
  EXPECT_EQ(clicked, 1);
  const QImage moved = Render(grid_);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_EQ(Background(moved, 4, row), highlight);
    EXPECT_NE(Background(moved, 1, row), highlight);
  }
}

TEST_F(GridCsvTest, DataTextStartsTwoPixelsInAndHeaderTextIsCentred) {
  Load(File("three.csv", "Wide,b\n"));
  grid_.SetCol(2);
  const QImage image = Render(grid_);
  const QRect cell = grid_.CellRect(1, 1);
  const QColor base = Background(image, 1, 1);
  const QRect ink = InkBox(image, cell, base);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), cell.left() + 2);
  EXPECT_LE(ink.left(), cell.left() + 4);
  EXPECT_GE(ink.top(), cell.top() + 2);
  EXPECT_LT(ink.bottom(), cell.top() + 2 + QFontMetrics(grid_.font()).height());

  const QRect header = grid_.CellRect(1, 0).adjusted(1, 1, -1, -1);  // inside the edges
  const QColor face = Background(image, 1, 0);
  const QRect label = InkBox(image, header, face);
  ASSERT_FALSE(label.isEmpty());
  EXPECT_NEAR(label.center().x(), header.center().x(), 2);
  EXPECT_NEAR(label.center().y(), header.center().y(), 3);
}

TEST_F(GridCsvTest, LineBreaksStartNewLinesAndPartialLastLineIsNotDrawn) {
  Load(File("lines.csv", "\"X\nX\nX\",b\n"));
  ASSERT_EQ(grid_.CellText(1, 1), u"X\nX\nX");
  grid_.SetCol(2);
  const int line = QFontMetrics(grid_.font()).height();
  struct Case {
    const char* name;
    int height;  // inner height for the text
    int lines;
  };
  const Case cases[] = {
      {"one line fits", line, 1},
      {"two lines and most of a third", 3 * line - 1, 2},
      {"three lines", 3 * line, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    grid_.SetRowHeight(1, c.height + 4);
    const QImage image = Render(grid_);
    const QRect inset = Inset(1, 1);
    const QColor base = Background(image, 1, 1);
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      const QRect band(inset.left(), inset.top() + i * line, inset.width(),
                       std::min(line, inset.bottom() + 1 - (inset.top() + i * line)));
      if (band.height() <= 0) continue;
      EXPECT_EQ(!InkBox(image, band, base).isEmpty(), i < c.lines);
    }
    // Nothing outside the inset.
    const QRect cell = grid_.CellRect(1, 1);
    const QRect ink = InkBox(image, cell, base);
    EXPECT_TRUE(inset.contains(ink))
        << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
  }
}

TEST_F(GridCsvTest, AmpersandIsShownAsText) {
  Load(File("amp.csv", "&&&&,&x\n"));
  EXPECT_EQ(grid_.CellText(1, 1), u"&&&&");
  grid_.SetCol(2);
  grid_.SetColWidth(1, 200);
  const QImage image = Render(grid_);
  const QRect ink = InkBox(image, Inset(1, 1), Background(image, 1, 1));
  const QFontMetrics metrics(grid_.font());
  // Four ampersands, not two (as a mnemonic reading would show).
  EXPECT_GT(ink.width(), metrics.horizontalAdvance(QStringLiteral("&&&")));
}

// The row numbers are never cut: the column is as wide as the largest, and 50 at least.
TEST_F(GridCsvTest, RowNumberColumnFitsItsLargestNumber) {
  QFont big = grid_.font();
  big.setPixelSize(30);  // so six digits need more than the 50 pixels the grid starts with
  grid_.setFont(big);
  const QFontMetrics metrics(big);
  Load(File("few.csv", "a\nb\n"));
  EXPECT_EQ(grid_.ColWidth(0), 50);
  std::string many;
  for (int i = 0; i < 123'456; ++i)
    many += "a\n";
  Load(File("many.csv", many));
  for (const bool title : {false, true}) {
    grid_.SetFirstLineIsTitle(title);
    const QString largest = QString::fromStdU16String(grid_.CellText(0, grid_.RowCount() - 1));
    EXPECT_EQ(largest, title ? QStringLiteral("123455") : QStringLiteral("123456"));
    EXPECT_GT(grid_.ColWidth(0), metrics.horizontalAdvance(largest) + 4);
  }
}

// A huge cell neither makes its column wider than the window nor its tooltip a screenful.
TEST_F(GridCsvTest, FittingAndTooltipsOfHugeCellsAreCapped) {
  const std::string huge(200'000, 'x');
  Load(File("huge.csv",
            "\xEF\xBB\xBFshort," + huge + "," + std::string(299, 'y') + "\xF0\x9F\x98\x80z\n"));
  grid_.FitColumn(2);
  EXPECT_EQ(grid_.ColWidth(2), grid_.width());
  grid_.FitAllColumns();
  EXPECT_LT(grid_.ColWidth(1), grid_.width()) << "every column fitted";
  EXPECT_GT(grid_.ColWidth(1),
            QFontMetrics(grid_.font()).horizontalAdvance(QStringLiteral("short")));
  EXPECT_EQ(grid_.CellToolTip(1, 1), QString()) << "a whole text has none";
  const struct {
    int col;
    QString tip;
  } tips[] = {
      {2, QString(300, QLatin1Char('x')) + QStringLiteral("…")},
      // A pair astride the cut stays whole: it goes with the rest.
      {3, QString(299, QLatin1Char('y')) + QStringLiteral("…")},
  };
  for (const auto& t : tips) {
    SCOPED_TRACE(t.col);
    grid_.SetColWidth(t.col, 40);
    EXPECT_EQ(grid_.CellToolTip(t.col, 1), t.tip);
  }
}

}  // namespace
}  // namespace norvalis

namespace norvalis {
namespace {

// Table cells and grid cells meet in one place: what the grid shows at a table cell is that
// cell of the table, with and without the title row, and cells it does not show are refused.
TEST(GridTableCells, TableCellsRoundTripAndCellsOutsideAreRefused) {
  test::TempDir dir;
  const std::string path = dir.Write("t.csv", "h1,h2,h3\na,b,c\nd,e,f\n");
  for (const bool title : {false, true}) {
    SCOPED_TRACE(title ? "title" : "no title");
    TGridCsv grid;
    test::LoadAndWait(grid, U16(path));
    grid.SetFirstLineIsTitle(title);
    const struct {
      TableCell cell;
      bool shown;
    } cases[] = {
        {{0, 0}, !title}, {{1, 2}, true},   {{2, 1}, true},  {{3, 0}, false},
        {{-1, 0}, false}, {{1, -1}, false}, {{1, 3}, false},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.cell.row << "," << c.cell.col);
      grid.SetCol(1);
      grid.SetRow(grid.FixedRows());
      const TableCell before = grid.CurrentTableCell();
      ASSERT_EQ(grid.GoToTableCell(c.cell), c.shown);
      EXPECT_EQ(grid.CurrentTableCell(), c.shown ? c.cell : before);
      if (c.shown) {
        // The grid shows exactly that cell of the table there.
        EXPECT_EQ(grid.CellText(grid.Col(), grid.Row()),
                  grid.Document().Csv().GetCell(static_cast<std::uint32_t>(c.cell.row),
                                                static_cast<std::uint32_t>(c.cell.col)));
        EXPECT_EQ(c.cell.Line(), c.cell.row + 1);
      }
    }
    grid.SetCurrentColumn(-1);  // the row-number column may be current
    EXPECT_EQ(grid.CurrentTableCell().col, -1);
    EXPECT_THROW(grid.SetCurrentColumn(-2), EInvalidGridOperation);
    EXPECT_THROW(grid.SetCurrentColumn(3), EInvalidGridOperation);
    EXPECT_TRUE(grid.GoToTableRow(2));
    EXPECT_FALSE(grid.GoToTableRow(title ? 0 : -1)) << "the title and the header are no rows";
  }
}

}  // namespace
}  // namespace norvalis
