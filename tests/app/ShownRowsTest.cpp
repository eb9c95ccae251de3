// The window showing some rows: the bar and the status say what is shown, Esc and the bar's
// button show every row, go to row and find stay on the rows shown, and a new file or a
// reload shows every row again.

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "WindowTestSupport.h"
#include "app/FilterBar.h"
#include "app/FindBar.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace norvalis {
namespace {

using Rows = std::vector<std::uint32_t>;

class ShownRowsTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  QAction* Action(const char* name) const { return norvalis::Find<QAction>(*form, name); }
  TFilterBar* Bar() const { return norvalis::Find<TFilterBar>(*form, "FilterBar"); }
  void Show(Rows rows, const QString& description = QStringLiteral("絞り込み")) {
    form->ShowRows(std::make_shared<const Rows>(std::move(rows)), description);
  }
  void GoToRow(const QString& typed) {
    dialogs.onExec = [typed](QDialog& dialog) {
      dialog.findChild<QLineEdit*>(QStringLiteral("EditRowNumber"))->setText(typed);
      dialog.accept();
    };
    Action("ActionEditGoToRow")->trigger();
    dialogs.onExec = nullptr;
  }
  void FindText(const QString& text, bool forward) {
    Find<QLineEdit>(*Find<TFindBar>(*form, "FindBar"), "EditFindText")->setText(text);
    Action(forward ? "ActionEditFindNext" : "ActionEditFindPrevious")->trigger();
    ASSERT_TRUE(WaitIdle());
  }
};

TEST_F(ShownRowsTest, BarAndStatusSayWhatIsShownUntilEveryRowIsShownAgain) {
  OpenCsv(Write("a.csv", "h\n1\n2\n3\n4\n5\n"), true);
  EXPECT_FALSE(Bar()->isVisible());
  Show({2, 4}, QStringLiteral("列 A の値が「2」または「4」の行"));
  EXPECT_TRUE(Bar()->isVisible());
  EXPECT_EQ(Bar()->Description(), QStringLiteral("列 A の値が「2」または「4」の行"));
  EXPECT_EQ(form->StatusText(), QStringLiteral("2 行を表示中（全 5 行）"));
  // The bar's button, then Esc in the grid.
  Find<QPushButton>(*Bar(), "ButtonShowAllRows")->click();
  EXPECT_TRUE(Grid()->ShowsAllRows());
  EXPECT_FALSE(Bar()->isVisible());
  EXPECT_EQ(form->StatusText(), QStringLiteral("すべての行を表示しています。"));
  Show({3});
  Grid()->setFocus();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(Grid(), &esc);
  EXPECT_TRUE(Grid()->ShowsAllRows());
  EXPECT_FALSE(Bar()->isVisible());
  // Another file, and the same file read again, show every row.
  for (const char* name : {"b.csv", "b.csv"}) {
    Show({1});
    Load(Write(name, "x\ny\n"));
    EXPECT_TRUE(Grid()->ShowsAllRows()) << name;
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_EQ(form->StatusText(), TFormMain::LoadedText);
  }
}

// Go to row takes the file's line number; one the filter hides is said, and nothing moves.
TEST_F(ShownRowsTest, GoToRowSaysWhenTheRowIsNotShown) {
  OpenCsv(Write("a.csv", "h,x\n1,a\n2,b\n3,c\n4,d\n"), true);
  Show({1, 3});
  Grid()->SetCol(2);
  GoToRow(QStringLiteral("4"));  // table row 3
  EXPECT_EQ(Grid()->CurrentTableCell(), (TableCell{3, 1}));
  GoToRow(QStringLiteral("3"));  // table row 2, not shown
  EXPECT_EQ(Grid()->CurrentTableCell(), (TableCell{3, 1}));
  EXPECT_EQ(form->StatusText(),
            QStringLiteral(
                "ファイルの3行目は表示中の行にありません。「すべての行を表示」で表示できます。"));
  // An empty filter has no cell to copy and nothing to find.
  Show({});
  QApplication::clipboard()->setText(QStringLiteral("before"));
  Action("ActionEditCopyCell")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
  FindText(QStringLiteral("a"), true);
  EXPECT_EQ(form->StatusText(), QStringLiteral("見つかりませんでした: a"));
}

// Differential: find next (and previous) over a filter visits exactly the shown cells that
// contain the text, in reading order, wrapping; hidden matches are passed over.
TEST_F(ShownRowsTest, FindVisitsOnlyTheShownMatches) {
  std::string csv = "h1,h2\n";
  for (int r = 1; r <= 30; ++r) {
    const std::string a = r % 3 == 0 ? "xa" : "a";
    const std::string b = r % 4 == 0 ? "bx" : "b";
    csv += a + "," + b + "\n";
  }
  OpenCsv(Write("f.csv", csv), true);
  const Rows shown = {2, 5, 6, 9, 13, 20, 24, 29};
  Show(shown);
  // The second route: the shown cells that contain "x", in reading order.
  std::vector<TableCell> expected;
  for (const std::uint32_t row : shown) {
    for (std::int64_t col = 0; col < 2; ++col) {
      if (form->Document().Csv().GetCell(row, static_cast<std::uint32_t>(col)).find(u'x') !=
          std::u16string::npos) {
        expected.push_back({row, col});
      }
    }
  }
  ASSERT_GE(expected.size(), 3u);
  for (const bool forward : {true, false}) {
    SCOPED_TRACE(forward ? "forward" : "backward");
    ASSERT_TRUE(Grid()->GoToTableCell({2, 0}));
    std::vector<TableCell> visited;
    for (std::size_t i = 0; i < expected.size() * 2; ++i) {
      FindText(QStringLiteral("x"), forward);
      visited.push_back(Grid()->CurrentTableCell());
    }
    std::vector<TableCell> want;
    for (std::size_t i = 0; i < expected.size() * 2; ++i) {
      // From (2, 0), which holds no x: forward the first match comes next, backward the last.
      const std::size_t n = expected.size();
      want.push_back(forward ? expected[i % n] : expected[n - 1 - i % n]);
    }
    EXPECT_EQ(visited, want);
  }
  // Text only in hidden rows is not found.
  FindText(QStringLiteral("zz"), true);
  EXPECT_EQ(form->StatusText(), QStringLiteral("見つかりませんでした: zz"));
  Show({1, 2});
  FindText(QStringLiteral("x"), true);
  EXPECT_EQ(form->StatusText(), QStringLiteral("見つかりませんでした: x"));
}

}  // namespace
}  // namespace norvalis
