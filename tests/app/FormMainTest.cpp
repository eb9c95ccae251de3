#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QShortcutEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/Application.h"
#include "app/FormMain.h"
#include "app/Images.h"

namespace norvalis {
namespace {

class FormMainLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TFormMain>();
    form->show();
  }
  std::unique_ptr<TFormMain> form;
};

TEST_F(FormMainLayout, EveryControlCarriesItsName) {
  const char* names[] = {"ToolBar1",
                         "ToolButton1",
                         "ToolButton2",
                         "ToolButton3",
                         "ToolButton4",
                         "ToolButton5",
                         "ComboBoxTask",
                         "Panel1",
                         "EditFilename",
                         "SpeedButton1",
                         "CheckBoxFirstLineIsTitle",
                         "ProgressBar1",
                         "StatusBar1",
                         "MainMenu1",
                         "MenuFile",
                         "MenuFileReOpen"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_NE(form->findChild<QObject*>(QString::fromLatin1(name)), nullptr);
  }
  EXPECT_EQ(form->statusBar(), Find<QStatusBar>(*form, "StatusBar1"));
}

TEST_F(FormMainLayout, StartsEmptyWithTheApplicationTitle) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Norvalis"));
  EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Norvalis"));
  EXPECT_EQ(form->StatusText(), QString());
  EXPECT_TRUE(Find<QLineEdit>(*form, "EditFilename")->text().isEmpty());
  EXPECT_FALSE(Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle")->isChecked());
  EXPECT_TRUE(Find<QProgressBar>(*form, "ProgressBar1")->isHidden());
  // The empty layout: one data column labelled A and one empty data row.
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->ColCount(), 2);
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->RowCount(), 2);
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->FixedRows(), 1);
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->CellText(1, 0), u"A");
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->CellText(0, 1), u"");
}

TEST_F(FormMainLayout, ClientAreaHasTheDesignSize) {
  EXPECT_EQ(form->width(), 480);
  EXPECT_EQ(form->height() - form->menuBar()->height(), 347);
  EXPECT_EQ(Find<QToolBar>(*form, "ToolBar1")->height(), 29);
  EXPECT_EQ(Find<QWidget>(*form, "Panel1")->height(), 40);
  EXPECT_EQ(Find<QProgressBar>(*form, "ProgressBar1")->height(), 17);
  EXPECT_EQ(Find<QStatusBar>(*form, "StatusBar1")->height(), 19);
  // The grid fills what the bars leave.
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->width(), 480);
  EXPECT_EQ(Find<TGridCsv>(*form, "Grid")->geometry().top(),
            Find<QWidget>(*form, "Panel1")->geometry().bottom() + 1);
}

TEST_F(FormMainLayout, FirstShownCentredOnTheDesktop) {
  ASSERT_NE(form->screen(), nullptr);
  const QPoint offset =
      form->frameGeometry().center() - form->screen()->availableGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

TEST_F(FormMainLayout, FileRowKeepsItsPlacesWhenTheWindowWidens) {
  const QRect edit = Find<QLineEdit>(*form, "EditFilename")->geometry();
  const QRect button = Find<QToolButton>(*form, "SpeedButton1")->geometry();
  const QRect box = Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle")->geometry();
  EXPECT_EQ(edit.topLeft(), QPoint(72, 0));
  EXPECT_EQ(edit.width(), 329);
  EXPECT_EQ(button, QRect(400, 0, 71, 22));
  EXPECT_EQ(box.topLeft(), QPoint(72, 23));
  EXPECT_EQ(box.width(), 377);
  // The label sits left of the edit.
  EXPECT_LE(Find<QLabel>(*form, "EditFilenameLabel")->geometry().right(), 72);

  form->resize(form->width() + 100, form->height());
  QCoreApplication::processEvents();
  EXPECT_EQ(Find<QLineEdit>(*form, "EditFilename")->geometry(), edit.adjusted(0, 0, 100, 0));
  EXPECT_EQ(Find<QToolButton>(*form, "SpeedButton1")->geometry(), button.translated(100, 0));
  EXPECT_EQ(Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle")->geometry(), box);
}

TEST_F(FormMainLayout, TaskBoxOffersTheColumnCheckFirstAndSelected) {
  EXPECT_FALSE(Find<QComboBox>(*form, "ComboBoxTask")->isEditable());
  ASSERT_EQ(Find<QComboBox>(*form, "ComboBoxTask")->count(), 3);
  EXPECT_EQ(Find<QComboBox>(*form, "ComboBoxTask")->itemText(0),
            QStringLiteral("セルの値が異なる列を調べる"));
  EXPECT_EQ(Find<QComboBox>(*form, "ComboBoxTask")->itemText(1),
            QStringLiteral("規則に合わない値を調べる"));
  EXPECT_EQ(Find<QComboBox>(*form, "ComboBoxTask")->itemText(2),
            QStringLiteral("文字の問題を調べる"));
  EXPECT_EQ(Find<QComboBox>(*form, "ComboBoxTask")->currentIndex(), 0);
  // 173 pixels, unless the font would cut the longest task's name (Wine's fonts do).
  const QComboBox* task = Find<QComboBox>(*form, "ComboBoxTask");
  EXPECT_GE(task->width(), task->sizeHint().width());
  if (task->sizeHint().width() <= 173) {
    EXPECT_EQ(task->width(), 173);
  }
}

TEST_F(FormMainLayout, FileRowTexts) {
  EXPECT_EQ(Find<QLabel>(*form, "EditFilenameLabel")->text(), QStringLiteral("CSVファイル"));
  EXPECT_EQ(Find<QLabel>(*form, "EditFilenameLabel")->buddy(),
            Find<QLineEdit>(*form, "EditFilename"));
  EXPECT_FALSE(Find<QLineEdit>(*form, "EditFilename")->isReadOnly());
  EXPECT_EQ(Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle")->text(),
            QStringLiteral("先頭行は列名(&F)"));
  EXPECT_EQ(Find<QToolButton>(*form, "SpeedButton1")->defaultAction(),
            Find<QAction>(*form, "ActionCsvReffer"));
}

struct ActionCase {
  const char* name;
  const char* category;
  const char* caption;
  QKeySequence shortcut;
  int imageIndex;
  const char* hint;
};

const ActionCase Actions[] = {
    {"ActionFileNew", "ファイル", "新規作成(&N)", QKeySequence(Qt::CTRL | Qt::Key_N), 0,
     "新規作成"},
    {"ActionFileOpen", "ファイル", "開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O), 1, "開く"},
    {"ActionFileSave", "ファイル", "上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S), 2,
     "上書き保存"},
    {"ActionFileSaveAs", "ファイル", "名前をつけて保存(&A)", QKeySequence(), -1,
     "名前をつけて保存"},
    {"ActionFileClose", "ファイル", "閉じる(&X)", QKeySequence(), -1, "閉じる"},
    {"ActionCsvReffer", "CSVファイル", "参照(&R)", QKeySequence(), 3, "参照"},
    {"ActionCsvCheck", "CSVファイル", "チェック開始", QKeySequence(Qt::Key_F5), 4, "チェック開始"},
    {"ActionConfigGeneral", "設定", "全般設定", QKeySequence(), -1, "全般設定"},
    // F1 beside the help command is an addition to the window's design.
    {"ActionHelpHelp", "ヘルプ", "ヘルプ(&H)", QKeySequence(Qt::Key_F1), -1, "ヘルプ"},
    {"ActionHelpVersion", "ヘルプ", "バージョン情報", QKeySequence(), -1, "バージョン情報"},
    // The everyday tools beside the check.
    {"ActionCsvCheckAll", "CSVファイル", "すべての列を調べる", QKeySequence(Qt::SHIFT | Qt::Key_F5),
     -1, "すべての列を調べる"},
    {"ActionEditCopyCell", "編集", "セルをコピー", QKeySequence(Qt::CTRL | Qt::Key_C), -1,
     "セルをコピー"},
    {"ActionEditCopyRow", "編集", "行をコピー", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), -1,
     "行をコピー"},
    {"ActionEditFind", "編集", "検索…", QKeySequence(Qt::CTRL | Qt::Key_F), -1, "検索…"},
    {"ActionEditFindNext", "編集", "次を検索", QKeySequence(Qt::Key_F3), -1, "次を検索"},
    {"ActionEditFindPrevious", "編集", "前を検索", QKeySequence(Qt::SHIFT | Qt::Key_F3), -1,
     "前を検索"},
    {"ActionEditGoToRow", "編集", "行へ移動…", QKeySequence(Qt::CTRL | Qt::Key_G), -1, "行へ移動…"},
    {"ActionEditGoToDifference", "編集", "差異のあるセルへ移動", QKeySequence(Qt::CTRL | Qt::Key_J),
     -1, "差異のあるセルへ移動"},
    {"ActionViewFitColumns", "編集", "すべての列の幅を調整", QKeySequence(), -1,
     "すべての列の幅を調整"},
};

TEST_F(FormMainLayout, NoTwoCommandsShareAShortcut) {
  QMap<QKeySequence, QString> seen;
  for (const QAction* action : form->actions()) {
    if (action->shortcut().isEmpty()) continue;
    EXPECT_FALSE(seen.contains(action->shortcut())) << action->objectName().toStdString() << " and "
                                                    << seen.value(action->shortcut()).toStdString();
    seen.insert(action->shortcut(), action->objectName());
  }
}

TEST_F(FormMainLayout, ActionsHaveCaptionCategoryShortcutImageAndHint) {
  for (const ActionCase& c : Actions) {
    SCOPED_TRACE(c.name);
    auto* action = form->findChild<QAction*>(QString::fromLatin1(c.name));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(action->property("category").toString(), QString::fromUtf8(c.category));
    EXPECT_EQ(action->shortcut(), c.shortcut);
    EXPECT_EQ(action->property("imageIndex").toInt(), c.imageIndex);
    EXPECT_EQ(action->icon().isNull(), c.imageIndex < 0);
    EXPECT_EQ(action->statusTip(), QString::fromUtf8(c.hint));
    // Shortcuts work from anywhere in the window.
    EXPECT_TRUE(form->actions().contains(action));
  }
}

TEST_F(FormMainLayout, AltFOpensTheFileMenuRatherThanFocusingTheTitleBox) {
  // Both "ファイル(&F)" and "先頭行は列名(&F)" claim Alt+F; Qt sends the box an ambiguous shortcut.
  QShortcutEvent ambiguous(QKeySequence(Qt::ALT | Qt::Key_F), 0, true);
  QApplication::sendEvent(Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle"), &ambiguous);
  EXPECT_TRUE(testing::WaitUntil([&] { return Find<QMenu>(*form, "MenuFile")->isVisible(); }));
  EXPECT_FALSE(Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle")->hasFocus());
  EXPECT_FALSE(Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle")->isChecked());
  Find<QMenu>(*form, "MenuFile")->close();
}

// Entries as their captions; "-" is a separator.
QStringList MenuEntries(const QMenu* menu) {
  QStringList entries;
  for (const QAction* action : menu->actions()) {
    entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  return entries;
}

TEST_F(FormMainLayout, MainMenuHasEveryItemInOrder) {
  struct MenuCase {
    const char* title;
    QStringList entries;
  };
  const MenuCase menus[] = {
      {"ファイル(&F)",
       {"新規作成(&N)", "開く(&O)", "上書き保存(&S)", "名前をつけて保存(&A)", "開き直す(&R)",
        "表示中の行を保存...", "-", "閉じる(&X)"}},
      {"CSVファイル(&S)",
       {"チェック開始", "すべての列を調べる", "列の規則...", "文字の問題の種類...", "参照(&R)", "-",
        "文字コードを指定して開き直す(&E)"}},
      {"編集(&E)",
       {"セルをコピー", "行をコピー", "表示中の行をコピー", "-", "検索…", "次を検索", "前を検索",
        "-", "行へ移動…", "差異のあるセルへ移動", "-", "すべての列の幅を調整"}},
      {"表示(&V)",
       {"異なる行だけを表示", "値の一覧", "-", "この値の行だけを表示", "この値以外の行を表示",
        "一致する行だけを表示", "-", "すべての行を表示", "-", "表示中の行を保存...",
        "表示中の行をコピー", "-", "空白と制御文字を表示"}},
      {"設定(&C)", {"全般設定"}},
      {"ヘルプ(&H)", {"ヘルプ(&H)", "バージョン情報"}},
  };
  const QList<QAction*> top = form->menuBar()->actions();
  ASSERT_EQ(top.size(), std::size(menus));
  for (std::size_t i = 0; i < std::size(menus); ++i) {
    SCOPED_TRACE(menus[i].title);
    EXPECT_EQ(top[i]->text(), QString::fromUtf8(menus[i].title));
    ASSERT_NE(top[i]->menu(), nullptr);
    EXPECT_EQ(MenuEntries(top[i]->menu()), menus[i].entries);
  }
  EXPECT_EQ(top[0]->menu(), Find<QMenu>(*form, "MenuFile"));
  EXPECT_EQ(Find<QMenu>(*form, "MenuFile")->actions()[4]->menu(),
            Find<QMenu>(*form, "MenuFileReOpen"));
  EXPECT_TRUE(Find<QMenu>(*form, "MenuFileReOpen")->actions().isEmpty());
  QStringList encodings = MenuEntries(Find<QMenu>(*form, "MenuCsvEncoding"));
  EXPECT_EQ(encodings, (QStringList{"自動判定", "-", "Shift_JIS", "EUC-JP", "ISO-2022-JP", "UTF-8",
                                    "UTF-16 LE", "UTF-16 BE", "UTF-32 LE", "UTF-32 BE", "UTF-7"}));
}

TEST_F(FormMainLayout, ToolBarHoldsButtonsSeparatorAndTaskBox) {
  const QList<QAction*> actions = Find<QToolBar>(*form, "ToolBar1")->actions();
  ASSERT_EQ(actions.size(), 6);
  EXPECT_EQ(actions[0], Find<QAction>(*form, "ActionFileNew"));
  EXPECT_EQ(actions[1], Find<QAction>(*form, "ActionFileOpen"));
  EXPECT_EQ(actions[2], Find<QAction>(*form, "ActionFileSave"));
  EXPECT_TRUE(actions[3]->isSeparator());
  EXPECT_EQ(actions[4], Find<QAction>(*form, "ActionCsvCheck"));
  EXPECT_EQ(Find<QToolBar>(*form, "ToolBar1")->widgetForAction(actions[5]),
            Find<QComboBox>(*form, "ComboBoxTask"));

  const std::pair<QToolButton*, QAction*> buttons[] = {
      {Find<QToolButton>(*form, "ToolButton1"), Find<QAction>(*form, "ActionFileNew")},
      {Find<QToolButton>(*form, "ToolButton2"), Find<QAction>(*form, "ActionFileOpen")},
      {Find<QToolButton>(*form, "ToolButton3"), Find<QAction>(*form, "ActionFileSave")},
      {Find<QToolButton>(*form, "ToolButton5"), Find<QAction>(*form, "ActionCsvCheck")},
  };
  for (const auto& [button, action] : buttons) {
    SCOPED_TRACE(action->objectName().toStdString());
    EXPECT_EQ(button->defaultAction(), action);
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
  }
  EXPECT_EQ(Find<QWidget>(*form, "ToolButton4")->width(), 8);
}

TEST_F(FormMainLayout, EveryControlHasAnAccessibleName) {
  const std::pair<QWidget*, const char*> named[] = {
      {Find<QToolButton>(*form, "ToolButton1"), "新規作成"},
      {Find<QToolButton>(*form, "ToolButton2"), "開く"},
      {Find<QToolButton>(*form, "ToolButton3"), "上書き保存"},
      {Find<QToolButton>(*form, "ToolButton5"), "チェック開始"},
      {Find<QComboBox>(*form, "ComboBoxTask"), "タスク"},
      {Find<QLineEdit>(*form, "EditFilename"), "CSVファイル"},
      {Find<QToolButton>(*form, "SpeedButton1"), "参照"},
      {Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle"), "先頭行は列名"},
      {Find<QProgressBar>(*form, "ProgressBar1"), "進行状況"},
  };
  for (const auto& [widget, name] : named) {
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_EQ(widget->accessibleName(), QString::fromUtf8(name));
  }
  EXPECT_FALSE(Find<TGridCsv>(*form, "Grid")->accessibleName().isEmpty());
  // The status bar is read by its name, which is the status text.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Find<QStatusBar>(*form, "StatusBar1"))
                ->text(QAccessible::Name),
            form->StatusText());
}

TEST_F(FormMainLayout, FileDialogsHaveFiltersAndDefaultExtensions) {
  struct DialogCase {
    const char* name;
    const TFileDialog* dialog;
    TFileDialog::Kind kind;
    const char* filter;
    const char* ext;
    bool overwritePrompt;
  };
  const DialogCase cases[] = {
      {"OpenDialogCsv", &form->OpenDialogCsv(), TFileDialog::Kind::Open,
       "CSVファイル(*.CSV)|*.CSV|テキストファイル(*.TXT;*.TSV)|*.TXT;*.TSV|すべてのファイル(*.*)|*."
       "*",
       "CSV", false},
      {"OpenDialogProject", &form->OpenDialogProject(), TFileDialog::Kind::Open,
       "Norvalisプロジェクトファイル(*.NVS)|*.NVS|すべてのファイル(*.*)|*.*", "NVS", false},
      {"SaveDialogProject", &form->SaveDialogProject(), TFileDialog::Kind::Save,
       "Norvalisプロジェクトファイル(*.NVS)|*.NVS|すべてのファイル(*.*)|*.*", "NVS", true},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.dialog->DialogKind(), c.kind);
    EXPECT_EQ(c.dialog->Filter(), QString::fromUtf8(c.filter));
    EXPECT_EQ(c.dialog->DefaultExt(), QString::fromUtf8(c.ext));
    EXPECT_EQ(c.dialog->OverwritePrompt(), c.overwritePrompt);
  }
}

TEST_F(FormMainLayout, CloseCommandClosesTheWindow) {
  ASSERT_TRUE(form->isVisible());
  Find<QAction>(*form, "ActionFileClose")->trigger();
  EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace norvalis
