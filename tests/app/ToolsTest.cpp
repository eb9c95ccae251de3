// The everyday tools of the window, driven offscreen: encoding shown and chosen, copy, find,
// go to a row or the difference, every column checked, and the small things.

#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QToolButton>
#include <QUrl>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include "WindowTestSupport.h"
#include "app/AllColumnsWindow.h"
#include "app/Application.h"
#include "app/FindBar.h"
#include "app/GoToRowDialog.h"
#include "app/HelpWindow.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace norvalis {
namespace {

class ToolsTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  QAction* Encoding(int codePage) {
    return form->findChild<QAction*>(QStringLiteral("ActionCsvEncoding%1").arg(codePage));
  }
  // The window's tool controls, found by their object names.
  QAction* Action(const char* name) const { return norvalis::Find<QAction>(*form, name); }
  QLabel* Label(const char* name) const { return norvalis::Find<QLabel>(*form, name); }
  TFindBar* Bar() const { return norvalis::Find<TFindBar>(*form, "FindBar"); }
  TAllColumnsWindow* AllColumns() const {
    return norvalis::Find<TAllColumnsWindow>(*form, "AllColumnsWindow");
  }
  QString Cell(std::uint32_t row, std::uint32_t col) {
    return QString::fromStdU16String(form->Document().Csv().GetCell(row, col));
  }
  void FindText(const QString& text, bool forward = true) {
    Find<QLineEdit>(*Bar(), "EditFindText")->setText(text);
    Action(forward ? "ActionEditFindNext" : "ActionEditFindPrevious")->trigger();
    ASSERT_TRUE(WaitIdle());
  }
  // The status bar's labels show the values and screen readers hear them with their names.
  void ExpectLabels(const QString& encoding, const QString& size, const QString& tip = {}) {
    const struct {
      const char* name;
      QString prefix;
      QString text;
    } labels[] = {{"LabelEncoding", QStringLiteral("文字コード: "), encoding},
                  {"LabelTableSize", QStringLiteral("表の大きさ: "), size}};
    for (const auto& l : labels) {
      SCOPED_TRACE(l.name);
      EXPECT_EQ(Label(l.name)->text(), l.text);
      QAccessibleInterface* label = QAccessible::queryAccessibleInterface(Label(l.name));
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text(QAccessible::Name), l.text.isEmpty() ? QString() : l.prefix + l.text);
    }
    EXPECT_EQ(Label("LabelTableSize")->toolTip(), tip);
  }
  // The current cell as table row and column.
  std::pair<std::int64_t, int> Current() const { return {Grid()->Row() - 1, Grid()->Col() - 1}; }
};

TEST_F(ToolsTest, EncodingIsShownChosenAndKeptInTheProject) {
  EXPECT_FALSE(Label("LabelEncoding")->isVisible()) << "nothing shown without a table";
  // "あ" in EUC-JP; as Shift_JIS the bytes are two half-width katakana.
  const QString csv = Write("e.csv", "\xA4\xA2,a,b\n\xA4\xA2,a,c\n");
  Load(csv);
  ExpectLabels(QStringLiteral("EUC-JP"), QStringLiteral("2 行 × 3 列"));
  EXPECT_TRUE(Encoding(0)->isChecked());

  Grid()->SetCol(3);
  Encoding(932)->trigger();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(Cell(0, 0), QStringLiteral("\uFF64\uFF62"));
  ExpectLabels(QStringLiteral("Shift_JIS"), QStringLiteral("2 行 × 3 列"));
  EXPECT_TRUE(Encoding(932)->isChecked());
  EXPECT_EQ(Grid()->Col(), 3) << "the column stays where the new table has it";

  // The choice belongs to the project.
  const QString project = dir.filePath(QStringLiteral("p.NVS"));
  dialogs.fileAnswers.push_back(project);
  Action("ActionFileSaveAs")->trigger();
  ASSERT_TRUE(WaitIdle());
  Find<QAction>(*form, "ActionFileNew")->trigger();
  EXPECT_TRUE(Encoding(0)->isChecked());
  EXPECT_FALSE(Label("LabelEncoding")->isVisible());
  ExpectLabels({}, {});
  form->OpenProject(project.toStdU16String());
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(Cell(0, 0), QStringLiteral("\uFF64\uFF62"));
  EXPECT_TRUE(Encoding(932)->isChecked());

  // Back to automatic; a large table shows its size grouped.
  Encoding(0)->trigger();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(Cell(0, 0), QStringLiteral("あ"));
  std::string rows = "\xEF\xBB\xBF";
  for (int i = 0; i < 1234; ++i)
    rows += "x\n";
  Load(Write("bom.csv", rows));
  ExpectLabels(QStringLiteral("UTF-8 (BOM)"), QStringLiteral("1,234 行 × 1 列"));
  // A long status text leaves the labels in view.
  form->SetStatusText(QString(200, QChar(u'長')));
  for (int i = 0; i < 5; ++i)  // the bar lays itself out over a few posted events
    QCoreApplication::processEvents();
  for (const char* name : {"LabelEncoding", "LabelTableSize"}) {
    SCOPED_TRACE(name);
    const QLabel* label = Label(name);
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_LE(label->mapTo(form.get(), QPoint(label->width(), 0)).x(), form->width());
  }

  // A file whose reading stopped at a NUL says where, beside the status text of a load (not named
  // nul.csv: Windows reads that name as its NUL device).
  Load(Write("stops.csv", std::string("ab,c\0de", 7)));
  EXPECT_EQ(form->StatusText(), TFormMain::LoadedText);
  ExpectLabels(QStringLiteral("Shift_JIS"), QStringLiteral("1 行 × 2 列（5 バイト目で停止）"),
               QStringLiteral("読み込みは 5 バイト目で止まりました（NUL文字）"));
  Load(Write("bom.csv", "x\n"));
  ExpectLabels(QStringLiteral("Shift_JIS"), QStringLiteral("1 行 × 1 列"));
}

TEST_F(ToolsTest, CopyTakesTheCellOrTheRowAsSpreadsheetsPasteIt) {
  Load(Write("c.csv", "a,\"b\tc\",\"say \"\"hi\"\"\"\nd,\"two\nlines\",f\n"));
  Grid()->SetCol(2);
  Action("ActionEditCopyCell")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("b\tc"));
  Action("ActionEditCopyRow")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\t\"b\tc\"\t\"say \"\"hi\"\"\""));
  Grid()->SetRow(2);
  Action("ActionEditCopyRow")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("d\t\"two\nlines\"\tf"));
  // The grid's context menu offers both, on the cell right-clicked.
  Grid()->SetCol(3);
  Grid()->SetRow(1);
  const QPoint a2 = Grid()->CellRect(1, 2).center();
  QMouseEvent press(QEvent::MouseButtonPress, a2, Grid()->viewport()->mapToGlobal(a2),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Grid()->viewport(), &press);
  Action("ActionEditCopyCell")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("d"));
  EXPECT_TRUE(Grid()->actions().contains(Action("ActionEditCopyCell")));
  EXPECT_TRUE(Grid()->actions().contains(Action("ActionEditCopyRow")));
}

TEST_F(ToolsTest, FindRunsAlongTheRowsWrapsOnceAndSaysWhenNothingIsThere) {
  Load(Write("f.csv", "title,x\nAb,x\nq,ab\nab,q\n"));
  TitleBox()->setChecked(true);
  form->CheckBoxFirstLineIsTitleClick();
  Action("ActionEditFind")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(Bar()->isVisible());

  const QString wrappedForward = QStringLiteral(" 先頭に戻って検索しました。");
  const QString wrappedBackward = QStringLiteral(" 末尾に戻って検索しました。");
  const struct {
    const char* text;
    bool caseSensitive;
    bool forward;
    std::int64_t row;  // table row found
    int col;
    QString status;  // the line in the file, as the check numbers it
  } steps[] = {
      // Starts after the current cell (row 1, A).
      {"ab", false, true, 2, 1, QStringLiteral("見つかりました: ファイルの3行目、B列")},
      {"ab", false, true, 3, 0, QStringLiteral("見つかりました: ファイルの4行目、A列")},
      // Wrapped, the title row skipped.
      {"ab", false, true, 1, 0,
       QStringLiteral("見つかりました: ファイルの2行目、A列") + wrappedForward},
      // "Ab" does not count.
      {"ab", true, true, 2, 1, QStringLiteral("見つかりました: ファイルの3行目、B列")},
      // Backwards, wrapping past the top.
      {"ab", true, false, 3, 0,
       QStringLiteral("見つかりました: ファイルの4行目、A列") + wrappedBackward},
      {"ab", true, false, 2, 1, QStringLiteral("見つかりました: ファイルの3行目、B列")},
      {"q", true, true, 3, 1, QStringLiteral("見つかりました: ファイルの4行目、B列")},
      {"q", true, true, 2, 0,
       QStringLiteral("見つかりました: ファイルの3行目、A列") + wrappedForward},
      {"Ab", true, true, 1, 0,
       QStringLiteral("見つかりました: ファイルの2行目、A列") + wrappedForward},
      // The current cell is the only match: found again, after going round.
      {"Ab", true, true, 1, 0,
       QStringLiteral("見つかりました: ファイルの2行目、A列") + wrappedForward},
      // The title is not searched: stays.
      {"t", false, true, 1, 0, QStringLiteral("見つかりませんでした: t")},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(::testing::Message() << s.text << " " << s.row << "," << s.col);
    Find<QCheckBox>(*Bar(), "CheckBoxCaseSensitive")->setChecked(s.caseSensitive);
    FindText(QString::fromUtf8(s.text), s.forward);
    EXPECT_EQ(Current(), std::make_pair(s.row, s.col));
    EXPECT_EQ(form->StatusText(), s.status);
  }
  // The found cell is current, the bar keeps its keys: Enter goes on, Esc closes it.
  form->activateWindow();
  ASSERT_TRUE(testing::WaitUntil([&] { return form->isActiveWindow(); }));
  Find<QLineEdit>(*Bar(), "EditFindText")->setFocus();
  Find<QLineEdit>(*Bar(), "EditFindText")->setText(QStringLiteral("ab"));
  for (const auto& [key, modifiers, row] :
       {std::tuple{Qt::Key_Return, Qt::NoModifier, std::int64_t{2}},
        std::tuple{Qt::Key_Return, Qt::ShiftModifier, std::int64_t{1}}}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(QApplication::focusWidget(), &press);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Current().first, row);
    EXPECT_EQ(QApplication::focusWidget(), Find<QLineEdit>(*Bar(), "EditFindText"));
  }
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(QApplication::focusWidget(), &esc);
  EXPECT_FALSE(Bar()->isVisible());
  Bar()->show();
  // F3 with an empty text opens the bar instead of searching.
  Bar()->hide();
  FindText(QString());
  EXPECT_TRUE(Bar()->isVisible());
}

TEST_F(ToolsTest, EscCancelsALongFindAndTheWindowStaysUsable) {
  std::string rows;
  for (int i = 0; i < 100'000; ++i)
    rows += "a\n";
  Load(Write("big.csv", rows));
  // Esc arrives when the search first lets events through, as it starts; it stops at its
  // next look at the flag, long before the end of the rows.
  QTimer::singleShot(0, form.get(), [this] {
    // The bar is up by now; a search does not say it is checking.
    EXPECT_FALSE(ProgressBar()->isHidden());
    EXPECT_NE(form->StatusText(), TFormMain::CheckingText);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(Grid(), &esc);
  });
  FindText(QStringLiteral("absent"));
  EXPECT_EQ(form->StatusText(), QStringLiteral("検索を中止しました。"));
  EXPECT_TRUE(ProgressBar()->isHidden());
  FindText(QStringLiteral("a"));
  EXPECT_EQ(Current(), std::make_pair(std::int64_t{1}, 0));
}

TEST_F(ToolsTest, GoToARowAndToTheDifferenceTheCheckReported) {
  Load(Write("g.csv", "h,1\nv,1\nv,1\nv,2\nw,1\n"));
  TitleBox()->setChecked(true);
  form->CheckBoxFirstLineIsTitleClick();
  Grid()->SetCol(2);
  const struct {
    const char* typed;
    std::int64_t gridRow;
  } cases[] = {{"3", 3}, {"1", 2}, {"99", 5}, {"0", 2}};  // lines of the file, title first
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    dialogs.onExec = [&](QDialog& dialog) {
      auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("EditRowNumber"));
      edit->setText(QString::fromUtf8(c.typed));
      dialog.accept();
    };
    Action("ActionEditGoToRow")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Grid()->Row(), c.gridRow);
    EXPECT_EQ(Grid()->Col(), 2) << "the column stays";
  }
  // Cancelled: nothing moves.
  dialogs.onExec = nullptr;
  Action("ActionEditGoToRow")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Grid()->Row(), 2);

  Action("ActionEditGoToDifference")->trigger();

  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(form->StatusText(), QStringLiteral("移動できる差異のあるセルがありません。"));
  Action("ActionCsvCheck")->trigger();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(Warnings().size(), 1);
  Grid()->SetCol(1);
  Action("ActionEditGoToDifference")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Current(), std::make_pair(std::int64_t{3}, 1));
  // Another file: the difference was about the old table.
  Load(Write("other.csv", "a\nb\nc\nd\n"));
  Action("ActionEditGoToDifference")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(form->StatusText(), QStringLiteral("移動できる差異のあるセルがありません。"));
}

TEST_F(ToolsTest, EveryColumnCheckedShowsAWindowThatGoesToTheCellAndCopies) {
  Action("ActionCsvCheckAll")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Warnings(), QStringList{QStringLiteral("検証する行がありません。")});

  Load(Write("a.csv", "id,name,flag\n1,x,0\n2,x,0\n3,y,0\n"));
  TitleBox()->setChecked(true);
  form->CheckBoxFirstLineIsTitleClick();
  Action("ActionCsvCheckAll")->trigger();
  ASSERT_TRUE(WaitIdle());
  TAllColumnsWindow* window = AllColumns();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(form->StatusText(), QStringLiteral("3 列中 2 列で値が異なります。"));
  QTreeWidget* list = Find<QTreeWidget>(*window, "ListResult");
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(1)->text(2), QStringLiteral("4行目"));
  EXPECT_EQ(list->topLevelItem(1)->text(3), QStringLiteral("y"));
  EXPECT_EQ(list->topLevelItem(2)->text(2), QStringLiteral("一致"));

  emit list->itemActivated(list->topLevelItem(1), 0);
  EXPECT_EQ(Current(), std::make_pair(std::int64_t{3}, 1));
  window->Copy();
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("列\t列名\t結果\tセルの値\nA\tid\t3行目\t2\nB\tname\t4行目\ty\n"
                           "C\tflag\t一致\t\n"));

  // The result belongs to its table: another encoding, another file or New replace it.
  const QLabel* summary = norvalis::Find<QLabel>(*window, "LabelAllColumnsSummary");
  const QString replaced =
      QStringLiteral("この結果の表は閉じられたか、読み込み直されました。セルへは移動できません。");
  const std::function<void()> replacements[] = {
      [&] {
        Encoding(932)->trigger();
        ASSERT_TRUE(WaitIdle());
      },
      [&] { Load(Write("b.csv", "1,2,3\n4,5,6\n7,8,9\n1,2,3\n")); },
      [&] { Find<QAction>(*form, "ActionFileNew")->trigger(); },
  };
  for (const auto& replace : replacements) {
    Load(dir.filePath(QStringLiteral("a.csv")));
    Action("ActionCsvCheckAll")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_FALSE(summary->text().contains(replaced));
    replace();
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(summary->text().endsWith(replaced)) << summary->text().toStdString();
    Grid()->SetCol(1);
    const std::int64_t row = Grid()->Row();
    emit list->itemActivated(list->topLevelItem(1), 0);
    EXPECT_EQ(Grid()->Col(), 1) << "moved in another table";
    EXPECT_EQ(Grid()->Row(), row);
  }
}

TEST_F(ToolsTest, CommandsThatNeedATableWaitForOne) {
  const char* needTable[] = {"ActionEditCopyCell",       "ActionEditCopyRow",
                             "ActionEditFind",           "ActionEditFindNext",
                             "ActionEditFindPrevious",   "ActionEditGoToRow",
                             "ActionEditGoToDifference", "ActionViewFitColumns"};
  const auto enabled = [&](bool expected) {
    for (const char* name : needTable) {
      SCOPED_TRACE(name);
      EXPECT_EQ(Action(name)->isEnabled(), expected);
    }
    // The check answers for no table itself.
    EXPECT_TRUE(Action("ActionCsvCheck")->isEnabled());
    EXPECT_TRUE(Action("ActionCsvCheckAll")->isEnabled());
  };
  enabled(false);
  form->SetStatusText(QStringLiteral("before"));
  Action("ActionEditCopyCell")->trigger();
  ASSERT_TRUE(WaitIdle());
  Action("ActionEditGoToRow")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(form->StatusText(), QStringLiteral("before")) << "said it copied nothing";
  EXPECT_TRUE(dialogs.Of(testing::DialogCall::Kind::Modal).empty()) << "asked for a row of none";
  Load(Write("t.csv", "a\n"));
  enabled(true);
  Find<QAction>(*form, "ActionFileNew")->trigger();
  enabled(false);
}

// However small the user makes the window, no control lies over another, and Japanese text
// cut at the default width can be fitted in every column at once.
TEST_F(ToolsTest, ASmallWindowKeepsItsControlsApartAndColumnsFitTheirText) {
  Load(Write("j.csv", "\xEF\xBB\xBF東京都千代田区,大阪府大阪市北区,x\n"));
  form->resize(200, 120);
  QCoreApplication::processEvents();
  EXPECT_GE(form->width(), TFormMain::MinimumClientWidth);
  const auto place = [&](const char* name) {
    const QWidget* widget = norvalis::Find<QWidget>(*form, name);
    return QRect(widget->mapTo(form.get(), QPoint(0, 0)), widget->size());
  };
  const char* names[] = {"ToolBar1", "EditFilename", "SpeedButton1", "CheckBoxFirstLineIsTitle",
                         "Grid",     "StatusBar1"};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    for (std::size_t j = i + 1; j < std::size(names); ++j) {
      SCOPED_TRACE(::testing::Message() << names[i] << " and " << names[j]);
      // The design's edit reaches one pixel under the browse button.
      EXPECT_LE(place(names[i]).intersected(place(names[j])).width(), 1);
    }
  }
  EXPECT_GT(Grid()->viewport()->height(), Grid()->RowHeight(0)) << "no room for a data row";

  form->resize(600, 400);
  ASSERT_TRUE(Grid()->TextIsCut(1, 1));
  Action("ActionViewFitColumns")->trigger();
  ASSERT_TRUE(WaitIdle());
  for (int col = 1; col <= 3; ++col) {
    SCOPED_TRACE(col);
    EXPECT_FALSE(Grid()->TextIsCut(col, 1));
  }
}

TEST_F(ToolsTest, SmallThingsUsersReachFor) {
  // The hint shows only while no table is loaded.
  EXPECT_FALSE(Grid()->EmptyHint().isEmpty());
  EXPECT_EQ(Action("ActionHelpHelp")->shortcut(), QKeySequence(Qt::Key_F1));

  // Enter in the file box opens the file named there; typing alone loads nothing.
  const QString csv =
      Write("t.csv", "a very long cell text that does not fit,b\nx,\"two\nlines\"\n");
  EditFilename()->setText(csv);
  ASSERT_TRUE(form->Document().Csv().IsEmpty());
  emit EditFilename()->returnPressed();
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(Cell(0, 1), QStringLiteral("b"));
  // A path pasted as Windows copies it, as a URL or from the home folder opens that file.
  const QString home = dir.filePath(QStringLiteral("ホーム"));
  ASSERT_TRUE(QDir().mkpath(home));
  const QString named = testing::WriteFile(QDir(home), QStringLiteral("空 白.csv"), "p,q\n");
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("HOME", home.toLocal8Bit());
  for (const QString& pasted :
       {QStringLiteral("\"%1\"").arg(named), QStringLiteral("  \"%1\" ").arg(named),
        QUrl::fromLocalFile(named).toString(QUrl::FullyEncoded), QStringLiteral("~/空 白.csv")}) {
    SCOPED_TRACE(pasted.toStdString());
    form->OpenCsvFile({});
    EditFilename()->setText(pasted);
    emit EditFilename()->returnPressed();
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(Cell(0, 1), QStringLiteral("q"));
    EXPECT_EQ(EditFilename()->text(), named);
  }
  qputenv("HOME", oldHome);
  Load(csv);
  // "参照(R)" answers Alt+R.
  EXPECT_EQ(norvalis::Find<QToolButton>(*form, "SpeedButton1")->shortcut(),
            QKeySequence(Qt::ALT | Qt::Key_R));

  // Cut texts are the ones that get a tooltip; fitting a column makes the text whole.
  EXPECT_TRUE(Grid()->TextIsCut(1, 1));
  EXPECT_FALSE(Grid()->TextIsCut(2, 1));
  EXPECT_TRUE(Grid()->TextIsCut(2, 2)) << "the second line does not fit the row";
  Grid()->FitColumn(1);
  EXPECT_FALSE(Grid()->TextIsCut(1, 1));
  EXPECT_GT(Grid()->ColWidth(1), TCustomDrawGrid::DefaultColWidth);
  EXPECT_EQ(Grid()->ColWidth(2), TCustomDrawGrid::DefaultColWidth) << "sizes stay sparse";

  // Esc closes the help window.
  Action("ActionHelpHelp")->trigger();
  ASSERT_TRUE(WaitIdle());
  HelpWindow* help = Application::Instance()->Help();
  ASSERT_NE(help, nullptr);
  ASSERT_TRUE(testing::WaitUntil([&] { return help->isVisible(); }));
  help->activateWindow();
  for (QAction* action : help->actions()) {
    if (action->shortcut() == QKeySequence(Qt::Key_Escape)) action->trigger();
  }
  EXPECT_FALSE(help->isVisible());
}

}  // namespace
}  // namespace norvalis
