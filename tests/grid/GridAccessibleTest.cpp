#include "grid/GridCsv.h"

#include <QAccessible>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace norvalis {
namespace {

using test::U16;

class GridAccessibleTest : public test::FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    grid_.resize(500, 300);
    grid_.show();
    test::LoadAndWait(grid_, U16(File("t.csv", "name,age,city\nAki,30,Kobe\nRen,41,Nara\n")));
    iface_ = QAccessible::queryAccessibleInterface(&grid_);
    ASSERT_NE(iface_, nullptr);
    table_ = iface_->tableInterface();
    ASSERT_NE(table_, nullptr);
  }

  TGridCsv grid_;
  QAccessibleInterface* iface_ = nullptr;
  QAccessibleTableInterface* table_ = nullptr;
};

TEST_F(GridAccessibleTest, GridIsANamedTable) {
  EXPECT_EQ(iface_->role(), QAccessible::Table);
  EXPECT_EQ(iface_->text(QAccessible::Name), QStringLiteral("CSVデータ"));
}

TEST_F(GridAccessibleTest, TableCountsFollowTheTitleFlag) {
  struct Case {
    bool title;
    int rows;
  };
  for (const Case c : {Case{false, 3}, Case{true, 2}}) {
    SCOPED_TRACE(c.title);
    grid_.SetFirstLineIsTitle(c.title);
    EXPECT_EQ(table_->rowCount(), c.rows);
    EXPECT_EQ(table_->columnCount(), 3);
    EXPECT_EQ(table_->rowDescription(0), QStringLiteral("1"));
    EXPECT_EQ(table_->columnDescription(2), QStringLiteral("C"));
  }
}

TEST_F(GridAccessibleTest, CellsReadTheirTextsAndHeaders) {
  struct Case {
    int row;
    int col;
    const char* text;
  };
  const Case cases[] = {{0, 0, "name"}, {1, 2, "Kobe"}, {2, 1, "41"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    QAccessibleInterface* cell = table_->cellAt(c.row, c.col);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QString::fromUtf8(c.text));
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    QAccessibleTableCellInterface* info = cell->tableCellInterface();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->rowIndex(), c.row);
    EXPECT_EQ(info->columnIndex(), c.col);
    const auto columnHeaders = info->columnHeaderCells();
    ASSERT_EQ(columnHeaders.size(), 1);
    EXPECT_EQ(columnHeaders[0]->text(QAccessible::Name), QString(QChar(u'A' + c.col)));
    EXPECT_EQ(columnHeaders[0]->role(), QAccessible::ColumnHeader);
    const auto rowHeaders = info->rowHeaderCells();
    ASSERT_EQ(rowHeaders.size(), 1);
    EXPECT_EQ(rowHeaders[0]->text(QAccessible::Name), QString::number(c.row + 1));
    EXPECT_EQ(rowHeaders[0]->role(), QAccessible::RowHeader);
  }
  EXPECT_EQ(table_->cellAt(3, 0), nullptr);
  EXPECT_EQ(table_->cellAt(0, 3), nullptr);
}

TEST_F(GridAccessibleTest, CurrentCellIsTheSelectedOne) {
  grid_.SetCol(3);
  grid_.SetRow(2);
  const auto selected = table_->selectedCells();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0]->text(QAccessible::Name), QStringLiteral("Kobe"));
  EXPECT_TRUE(selected[0]->state().selected);
  EXPECT_EQ(iface_->focusChild(), selected[0]);
  EXPECT_FALSE(table_->cellAt(0, 0)->state().selected);
}

TEST_F(GridAccessibleTest, ChildrenAreTheCellsOnScreen) {
  // All 4 columns and 4 rows of the grid are on screen.
  const int children = iface_->childCount();
  EXPECT_EQ(children, 4 * 4);
  QStringList texts;
  for (int i = 0; i < children; ++i) {
    QAccessibleInterface* child = iface_->child(i);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(iface_->indexOfChild(child), i);
    EXPECT_FALSE(child->rect().isEmpty());
    texts << child->text(QAccessible::Name);
  }
  EXPECT_EQ(texts, (QStringList{"", "A", "B", "C", "1", "name", "age", "city", "2", "Aki", "30",
                                "Kobe", "3", "Ren", "41", "Nara"}));
  EXPECT_EQ(iface_->child(children), nullptr);
}

TEST_F(GridAccessibleTest, CellsExpireWhenTheLayoutChanges) {
  grid_.Document().Clear();
  EXPECT_EQ(table_->rowCount(), 1);
  EXPECT_EQ(table_->columnCount(), 1);
  QAccessibleInterface* cell = table_->cellAt(0, 0);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->text(QAccessible::Name), QString());
  EXPECT_EQ(table_->cellAt(0, 1), nullptr);
}

}  // namespace
}  // namespace norvalis
