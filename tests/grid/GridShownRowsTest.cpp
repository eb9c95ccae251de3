// The grid showing some rows of its table: what it shows there is what the table holds at
// those rows, the row numbers are the rows' own, and moving, finding and leaving the filter
// work in table terms.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GridTestSupport.h"

namespace norvalis {
namespace {

using test::U16;

using Rows = std::vector<std::uint32_t>;

std::shared_ptr<const Rows> Share(Rows rows) {
  return std::make_shared<const Rows>(std::move(rows));
}

// "r0c0,r0c1,r0c2\nr1c0,..."
std::string MakeCsv(int rows) {
  std::string text;
  for (int r = 0; r < rows; ++r) {
    text +=
        "r" + std::to_string(r) + "c0,r" + std::to_string(r) + "c1,r" + std::to_string(r) + "c2\n";
  }
  return text;
}

class GridShownRows : public test::FileTest {
 protected:
  void SetUp() override {
    test::FileTest::SetUp();
    grid.resize(400, 300);
    test::LoadAndWait(grid, U16(File("t.csv", MakeCsv(20))));
  }
  TGridCsv grid;
};

// Differential: every grid row of the filtered grid against the table row it stands for,
// read straight from the table; the row number is the one the unfiltered grid shows.
TEST_F(GridShownRows, CellsAndRowNumbersAreThoseOfTheTableRows) {
  const struct {
    const char* name;
    bool title;
    Rows rows;
  } cases[] = {
      {"some rows", false, {0, 3, 4, 11, 19}},
      {"first and last", false, {0, 19}},
      {"one row", true, {7}},
      {"a title line among the rows is left out", true, {0, 1, 2, 18, 19}},
      {"every row", true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    grid.SetFirstLineIsTitle(c.title);
    // What the grid shows before the filter: the fixed rows, and each table row's number.
    std::vector<std::vector<UnicodeString>> fixedTexts(grid.FixedRows());
    for (std::int64_t row = 0; row < grid.FixedRows(); ++row)
      for (int col = 0; col < grid.ColCount(); ++col)
        fixedTexts[row].push_back(grid.CellText(col, row));
    std::vector<UnicodeString> numbers;
    for (std::int64_t row = 0; row < 20; ++row)
      numbers.push_back(grid.CellText(0, row + 1));
    grid.SetShownRows(Share(c.rows), QStringLiteral("x"));
    Rows expected;
    for (const std::uint32_t row : c.rows)
      if (!(c.title && row == 0)) expected.push_back(row);
    ASSERT_EQ(grid.RowCount(), grid.FixedRows() + static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(grid.ShownDataRowCount(), expected.size());
    EXPECT_EQ(grid.DataRowCount(), c.title ? 19u : 20u);
    // The header and the title stay as they are.
    for (std::int64_t row = 0; row < grid.FixedRows(); ++row)
      for (int col = 0; col < grid.ColCount(); ++col)
        EXPECT_EQ(grid.CellText(col, row), fixedTexts[row][col]);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const std::int64_t gridRow = grid.FixedRows() + static_cast<std::int64_t>(i);
      const std::uint32_t tableRow = expected[i];
      EXPECT_EQ(grid.TableRowOf(gridRow), tableRow);
      EXPECT_EQ(grid.GridRowOf(tableRow), gridRow);
      for (std::uint32_t col = 0; col < 3; ++col) {
        EXPECT_EQ(grid.CellText(static_cast<int>(col) + 1, gridRow),
                  grid.Document().Csv().GetCell(tableRow, col));
      }
      EXPECT_EQ(grid.CellText(0, gridRow), numbers[tableRow])
          << "row number of table row " << tableRow;
    }
    EXPECT_EQ(grid.FirstDataRow(), expected.front());
    EXPECT_EQ(grid.LastDataRow(), expected.back());
    // A row left out is not there to go to.
    for (std::uint32_t row = 0; row < 20; ++row) {
      const bool shown = std::find(expected.begin(), expected.end(), row) != expected.end();
      EXPECT_EQ(grid.ShowsTableRow(row), shown) << row;
      EXPECT_EQ(grid.GoToTableRow(row), shown) << row;
      if (shown) {
        EXPECT_EQ(grid.CurrentTableCell().row, row);
      }
    }
    grid.ClearShownRows();
  }
}

// The screen at the first and at the last shown row shows those rows' cells.
TEST_F(GridShownRows, PaintsFirstAndLastRows) {
  grid.SetShownRows(Share({2, 5, 17}), QStringLiteral("x"));
  for (const std::uint32_t row : {2u, 17u}) {
    ASSERT_TRUE(grid.GoToTableCell({static_cast<std::int64_t>(row), 1}));
    const std::vector<std::int64_t> shownRows = grid.ShownRows();
    ASSERT_NE(std::find(shownRows.begin(), shownRows.end(), grid.Row()), shownRows.end());
    EXPECT_EQ(grid.CellText(2, grid.Row()), u"r" + U16(std::to_string(row)) + u"c1");
    EXPECT_FALSE(test::Render(grid).isNull());
  }
}

// A filter that shows nothing leaves one empty row, with no number and no cell to be on.
TEST_F(GridShownRows, EmptyFilterShowsOneEmptyRow) {
  grid.SetShownRows(Share({}), QStringLiteral("x"));
  EXPECT_EQ(grid.RowCount(), grid.FixedRows() + 1);
  EXPECT_EQ(grid.ShownDataRowCount(), 0u);
  EXPECT_EQ(grid.CurrentTableCell().row, -1);
  EXPECT_EQ(grid.FirstDataRow(), -1);
  for (int col = 0; col < grid.ColCount(); ++col)
    EXPECT_TRUE(grid.CellText(col, grid.FixedRows()).empty());
  EXPECT_FALSE(grid.GoToTableRow(1));
  test::Render(grid);  // painting an empty filter must not read outside it
}

// The current row stays where it is shown, Esc shows every row again on the row the user was
// on, and a new table or another title setting drops the filter.
TEST_F(GridShownRows, EscAndNewTableLeaveTheFilter) {
  int changes = 0;
  QObject::connect(&grid, &TGridCsv::shownRowsChanged, [&] { ++changes; });
  ASSERT_TRUE(grid.GoToTableCell({5, 2}));
  grid.SetShownRows(Share({1, 5, 9}), QStringLiteral("a"));
  EXPECT_EQ(grid.CurrentTableCell(), (TableCell{5, 2}));
  ASSERT_TRUE(grid.GoToTableRow(9));
  test::SendKey(grid, Qt::Key_Escape);
  EXPECT_TRUE(grid.ShowsAllRows());
  EXPECT_EQ(grid.CurrentTableCell(), (TableCell{9, 2})) << "Esc keeps the row the user was on";
  EXPECT_EQ(changes, 2);

  grid.SetShownRows(Share({3}), QStringLiteral("b"));
  EXPECT_EQ(grid.CurrentTableCell().row, 3) << "a row not shown gives way to the first shown";
  grid.SetFirstLineIsTitle(true);
  EXPECT_TRUE(grid.ShowsAllRows());
  grid.SetShownRows(Share({3}), QStringLiteral("c"));
  test::LoadAndWait(grid, U16(File("u.csv", MakeCsv(4))));
  EXPECT_TRUE(grid.ShowsAllRows());
  EXPECT_TRUE(grid.ShownRowsDescription().isEmpty());
  EXPECT_EQ(changes, 6);
}

}  // namespace
}  // namespace norvalis
