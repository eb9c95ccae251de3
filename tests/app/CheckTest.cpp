#include <string>

#include <gtest/gtest.h>

#include <QAction>
#include <QEnterEvent>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "WindowTestSupport.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::WaitUntil;

const QString AllMatch = QStringLiteral("すべての値が一致しました。");

// Counts how often a widget is shown.
class ShowCounter : public QObject {
 public:
  int shows = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) ++shows;
    return false;
  }
};

class CheckTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    ProgressBar()->installEventFilter(&shows);
  }
  void Check() { Run("ActionCsvCheck"); }

  ShowCounter shows;
};

struct CheckCase {
  const char* name;
  const char* csv;  // nullptr: no table loaded
  bool title;
  int col;  // grid column
  // The warning, nullptr for none; the status shows it on one line, or that all match.
  const char* message;
  int maximum;  // -1: the progress bar is never shown
  int position;
};

const char* const NoRowsText = "検証する行がありません。";

const CheckCase CheckCases[] = {
    {"no table", nullptr, false, 1, NoRowsText, -1, 0},
    {"empty file", "", false, 1, NoRowsText, -1, 0},
    {"title and one row", "a\n", true, 1, NoRowsText, -1, 0},
    {"one row without title", "a\n", false, 1, nullptr, 0, 0},
    {"title and two rows", "h\na\n", true, 1, nullptr, 0, 0},
    {"a a b", "a\na\nb\n", false, 1, "3行目のデータが異なります。\nセルの値：b", 2, 1},
    {"a a and an empty cell", "a,x\na,x\n,x\n", false, 1, "3行目のデータが異なります。\nセルの値：",
     2, 1},
    {"letter case", "a\nA\n", false, 1, "2行目のデータが異なります。\nセルの値：A", 1, 0},
    {"full width", "a\na\nａ\n", false, 1, "3行目のデータが異なります。\nセルの値：ａ", 2, 1},
    {"trailing blank", "a\na \n", false, 1, "2行目のデータが異なります。\nセルの値：a ", 1, 0},
    {"leading blank", "a\n a\n", false, 1, "2行目のデータが異なります。\nセルの値： a", 1, 0},
    {"empty reference", ",1\n,2\nb,3\nc,4\n", false, 1, "3行目のデータが異なります。\nセルの値：b",
     3, 1},
    {"title row counts in the number", "h\na\nb\n", true, 1,
     "3行目のデータが異なります。\nセルの値：b", 1, 0},
    {"the current column", "1,x\n1,y\n", false, 2, "2行目のデータが異なります。\nセルの値：y", 1,
     0},
    {"all equal with title", "h\nv\nv\nv\n", true, 1, nullptr, 2, 2},
    {"row-number column current", "a\nb\n", false, 0, nullptr, 1, 1},
};

TEST_F(CheckTest, ReportsTheFirstDifferingRowOrThatAllMatch) {
  for (const CheckCase& c : CheckCases) {
    SCOPED_TRACE(c.name);
    dialogs.calls.clear();
    shows.shows = 0;
    Find<QAction>(*form, "ActionFileNew")->trigger();
    if (c.csv != nullptr) OpenCsv(Write(QStringLiteral("t.csv"), c.csv), c.title);
    ProgressBar()->setRange(0, 7);
    ProgressBar()->setValue(5);
    TitleBox()->setChecked(c.title);
    Grid()->SetCol(c.col);

    Check();

    EXPECT_EQ(Warnings(), c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
    EXPECT_EQ(form->StatusText(),
              c.message ? QString::fromUtf8(c.message).remove(QLatin1Char('\n')) : AllMatch);
    EXPECT_EQ(StatusBarAccessibleName(), form->StatusText());
    EXPECT_TRUE(ProgressBar()->isHidden());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    if (c.maximum < 0) {
      EXPECT_EQ(shows.shows, 0);
      EXPECT_EQ(ProgressBar()->value(), 5) << "the bar was touched";
    } else {
      EXPECT_EQ(shows.shows, 1);
      EXPECT_EQ(ProgressBar()->maximum(), c.maximum);
      EXPECT_EQ(ProgressBar()->value(), c.position);
    }
    EXPECT_EQ(Shown(), QStringList{});
  }
}

TEST_F(CheckTest, ShowsProgressAndBusyCursorBeforeComparingAndKeepsItsColumn) {
  OpenCsv(Write(QStringLiteral("t.csv"), "a,1\na,2\na,3\n"));
  bool ran = false;
  // Runs in the check's first yield, before its loop.
  QTimer::singleShot(0, form.get(), [&] {
    ran = true;
    EXPECT_FALSE(ProgressBar()->isHidden());
    EXPECT_EQ(ProgressBar()->maximum(), 2);
    EXPECT_EQ(ProgressBar()->value(), 0);
    EXPECT_EQ(form->StatusText(), QStringLiteral("検証中..."));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Grid()->SetCol(2);  // the run keeps the column it started with
  });
  Check();
  EXPECT_TRUE(ran);
  EXPECT_EQ(form->StatusText(), AllMatch);
  EXPECT_EQ(Grid()->Col(), 2);
}

TEST_F(CheckTest, EscapingExceptionHidesTheBarRestoresTheCursorAndIsShown) {
  OpenCsv(Write(QStringLiteral("t.csv"), "a\nb\n"));
  bool barShownWithBox = false;
  dialogs.onShow = [&](const DialogCall& call) {
    if (call.kind != DialogCall::Kind::Warning) return;
    barShownWithBox = !ProgressBar()->isHidden();
    throw Exception(u"箱が壊れました");
  };
  Check();
  EXPECT_TRUE(barShownWithBox);
  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Shown(), QStringList{QStringLiteral("箱が壊れました")});
  EXPECT_EQ(form->StatusText(), QStringLiteral("検証中..."));
}

// The status text is the window's state: menus and tool buttons show their hints over it, and
// it is back (and read out) once they are gone.
TEST_F(CheckTest, StatusTextOutlivesMenusAndHints) {
  const QString differs = QStringLiteral("3行目のデータが異なります。セルの値：b");
  OpenCsv(Write(QStringLiteral("t.csv"), "a\na\nb\n"));
  for (const QString& expected : {TFormMain::LoadedText, differs}) {
    SCOPED_TRACE(expected.toStdString());
    if (expected == differs) Check();
    ASSERT_EQ(form->StatusText(), expected);

    form->menuBar()->setActiveAction(Find<QMenu>(*form, "MenuFile")->menuAction());
    ASSERT_TRUE(WaitUntil([&] { return Find<QMenu>(*form, "MenuFile")->isVisible(); }));
    Find<QMenu>(*form, "MenuFile")->setActiveAction(Find<QAction>(*form, "ActionFileOpen"));
    EXPECT_EQ(Find<QStatusBar>(*form, "StatusBar1")->currentMessage(), QStringLiteral("開く"))
        << "no hint shown";
    Find<QMenu>(*form, "MenuFile")->close();
    ASSERT_TRUE(WaitUntil([&] { return !Find<QMenu>(*form, "MenuFile")->isVisible(); }));
    EXPECT_EQ(form->StatusText(), expected) << "after the menu";

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(Find<QToolButton>(*form, "ToolButton5"), &enter);
    EXPECT_EQ(Find<QStatusBar>(*form, "StatusBar1")->currentMessage(),
              QStringLiteral("チェック開始"))
        << "no hint shown";
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(Find<QToolButton>(*form, "ToolButton5"), &leave);
    EXPECT_EQ(form->StatusText(), expected) << "after the tool button";
    EXPECT_TRUE(Find<QStatusBar>(*form, "StatusBar1")->currentMessage().isEmpty())
        << "a hint stayed over the text";
    EXPECT_EQ(StatusBarAccessibleName(), expected);
  }
}

}  // namespace
}  // namespace norvalis
