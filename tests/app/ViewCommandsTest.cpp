// The commands that show some rows, driven as a user would: every differing row, a column's
// values and the rows with or without one, rows containing a text, and saving or copying the
// rows shown. Each is checked against a plain second reading of the file.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "WindowTestSupport.h"
#include "app/FilterBar.h"
#include "app/FindBar.h"
#include "app/ValuesWindow.h"
#include "check/RowsSave.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace norvalis {
namespace {

using Rows = std::vector<std::uint32_t>;

// Title line, then prefecture-like values with an empty one, a NEC/IBM pair kept out.
const char* const Csv =
    "id,pref,note\n"
    "1,北海道,a\n"
    "2,青森県,B\n"
    "3,北海道,ab\n"
    "4,,x\n"
    "5,北海道,%1\n"
    "6,岩手県,AB\n"
    "7,青森県,c\n";

class ViewCommandsTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    path = Write(QStringLiteral("v.csv"), Csv);
    OpenCsv(path, true);
  }
  QAction* Action(const char* name) const { return norvalis::Find<QAction>(*form, name); }
  QString Cell(std::uint32_t row, std::uint32_t col) const {
    return QString::fromStdU16String(form->Document().Csv().GetCell(row, col));
  }
  // The second route: the data rows whose cell in the column passes.
  Rows RowsWhere(std::uint32_t col, const std::function<bool(const QString&)>& keep) const {
    Rows rows;
    for (std::uint32_t row = 1; row < form->Document().Csv().GetRowCount(); ++row)
      if (keep(Cell(row, col))) rows.push_back(row);
    return rows;
  }
  Rows Shown() const {
    const auto& shown = Grid()->ShownTableRows();
    return shown ? *shown : Rows{};
  }
  QString BarText() const { return norvalis::Find<TFilterBar>(*form, "FilterBar")->Description(); }
  QString path;
};

TEST_F(ViewCommandsTest, DifferentRowsAreThoseTheCheckComparesAsDiffering) {
  Grid()->SetCol(2);
  Run("ActionViewDifferentRows");
  const Rows expected = RowsWhere(1, [&](const QString& v) { return v != Cell(1, 1); });
  EXPECT_EQ(Shown(), expected);
  EXPECT_EQ(form->StatusText(), QStringLiteral("4 行を表示中（全 7 行）"));
  EXPECT_EQ(BarText(), QStringLiteral("列 B「pref」 の値が 2 行目の「北海道」と異なる行: 4 行"));
  EXPECT_TRUE(Warnings().isEmpty()) << "only the check itself shows a box";
  // The check still answers as it does, on the first differing row.
  Run("ActionCsvCheck");
  EXPECT_EQ(Warnings().size(), 1);
  // A column whose values all match shows no filter.
  Find<QAction>(*form, "ActionViewAllRows")->trigger();
  Load(Write(QStringLiteral("same.csv"), "a\nx\nx\n"));
  Run("ActionViewDifferentRows");
  EXPECT_TRUE(Grid()->ShowsAllRows());
  EXPECT_EQ(form->StatusText(), QStringLiteral("列 A「a」 の値はすべて一致しました。"));
}

TEST_F(ViewCommandsTest, ValuesWindowListsCountsAndShowsTheRowsWithOrWithoutAValue) {
  Grid()->SetCol(2);
  Run("ActionViewValues");
  auto* window = norvalis::Find<TValuesWindow>(*form, "ValuesWindow");
  ASSERT_TRUE(window->isVisible());
  auto* view = norvalis::Find<QTableView>(*window, "TableViewValues");
  QAbstractItemModel* model = view->model();
  EXPECT_EQ(norvalis::Find<QLabel>(*window, "LabelValuesColumn")->text(),
            QStringLiteral("列 B「pref」 の値: 4 種類（7 行）"));
  // By count, then by first row; the empty value shows as （空）.
  const QStringList expected[] = {{"北海道", "3", "42.86%", "2"},
                                  {"青森県", "2", "28.57%", "3"},
                                  {"（空）", "1", "14.29%", "5"},
                                  {"岩手県", "1", "14.29%", "7"}};
  ASSERT_EQ(model->rowCount(), 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(model->index(r, c).data().toString(), expected[r][c]) << r << "," << c;
  EXPECT_EQ(window->CopyText(false).split(QLatin1Char('\n')).value(3),
            QStringLiteral("\t1\t14.29%\t5"))
      << "the empty value copies as empty";

  // Double-click (activate) the second value: only its rows; the button: the others.
  const struct {
    int value;
    const char* how;
  } cases[] = {{1, "activate"}, {2, "ButtonRowsWithoutValue"}, {0, "ButtonRowsWithValue"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    view->setCurrentIndex(model->index(c.value, 0));
    const QString value = c.value == 2 ? QString() : expected[c.value][0];
    const bool with = std::string(c.how) != "ButtonRowsWithoutValue";
    if (std::string(c.how) == "activate") {
      emit view->activated(view->currentIndex());
    } else {
      norvalis::Find<QPushButton>(*window, c.how)->click();
    }
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Shown(), RowsWhere(1, [&](const QString& v) { return (v == value) == with; }));
  }
  // A new table leaves the list unable to filter the old one.
  Load(Write(QStringLiteral("other.csv"), "a\n"));
  EXPECT_FALSE(norvalis::Find<QPushButton>(*window, "ButtonRowsWithValue")->isEnabled());
}

TEST_F(ViewCommandsTest, CellAndFindBarFilters) {
  ASSERT_TRUE(Grid()->GoToTableCell({3, 1}));  // 北海道
  Run("ActionViewRowsWithValue");
  EXPECT_EQ(Shown(), (Rows{1, 3, 5}));
  ASSERT_TRUE(Grid()->GoToTableCell({3, 1}));
  Run("ActionViewRowsWithoutValue");
  EXPECT_EQ(Shown(), (Rows{2, 4, 6, 7}));
  EXPECT_EQ(BarText(), QStringLiteral("列 B「pref」 の値が「北海道」以外の行: 4 行"));

  auto* bar = norvalis::Find<TFindBar>(*form, "FindBar");
  bar->Open();
  const struct {
    const char* text;
    bool caseSensitive;
    Rows rows;
  } cases[] = {{"ab", false, {3, 6}}, {"ab", true, {3}}, {"%1", false, {5}}, {"zz", false, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    norvalis::Find<QLineEdit>(*bar, "EditFindText")->setText(QString::fromUtf8(c.text));
    norvalis::Find<QCheckBox>(*bar, "CheckBoxCaseSensitive")->setChecked(c.caseSensitive);
    norvalis::Find<QToolButton>(*bar, "ButtonFindRows")->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Grid()->ShowsAllRows());
    EXPECT_EQ(Shown(), c.rows);
  }
  EXPECT_EQ(BarText(), QStringLiteral("「zz」を含むセルのある行: 0 行"));
}

// Saved rows are the file's own lines, the title line first when asked; copied rows are
// tab-separated; the open file itself is never written over.
TEST_F(ViewCommandsTest, SaveAndCopyTheRowsShown) {
  ASSERT_TRUE(Grid()->GoToTableCell({1, 1}));
  Run("ActionViewRowsWithValue");
  const QStringList lines = QString::fromUtf8(Csv).split(QLatin1Char('\n'));
  for (const bool titleFirst : {true, false}) {
    SCOPED_TRACE(titleFirst);
    dialogs.onExec = [&](QDialog& dialog) {
      dialog.findChild<QCheckBox*>(QStringLiteral("CheckBoxTitleFirst"))->setChecked(titleFirst);
      EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("LabelSaveForm"))->text(),
                QStringLiteral("形式: ") +
                    QString::fromStdU16String(RowsSaveFormText(RowsSaveForm::FileBytes)));
      dialog.accept();
    };
    const QString out = dir.filePath(QStringLiteral("out.csv"));
    dialogs.fileAnswers.push_back(out);
    Run("ActionFileSaveShownRows");
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString expected = (titleFirst ? lines[0] + "\n" : QString()) + lines[1] + "\n" +
                             lines[3] + "\n" + lines[5] + "\n";
    EXPECT_EQ(QString::fromUtf8(file.readAll()), expected);
  }
  dialogs.onExec = [](QDialog& dialog) { dialog.accept(); };
  dialogs.fileAnswers.push_back(path);
  Run("ActionFileSaveShownRows");
  EXPECT_EQ(Warnings().value(0), QString::fromStdU16String(SaveOverOpenFileText));
  QFile original(path);
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  EXPECT_EQ(original.readAll(), QByteArray(Csv));

  Action("ActionEditCopyShownRows")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("id\tpref\tnote\n1\t北海道\ta\n3\t北海道\tab\n5\t北海道\t%1\n"));
}

}  // namespace
}  // namespace norvalis
