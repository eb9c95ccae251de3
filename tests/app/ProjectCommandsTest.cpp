#include <cerrno>
#include <optional>

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>

#include "WindowTestSupport.h"
#include "persistence/AtomicFileTesting.h"
#include "platform/FileTesting.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::GridIndexError;
using testing::HistoryOf;

const QString Opened = QStringLiteral("プロジェクトファイルを開きました。");
const QString Saved = QStringLiteral("プロジェクトファイルを保存しました。");
const QString Title = QStringLiteral("Norvalis");
const QString Before = QStringLiteral("前の状態");
const std::string ThreeColumns = "h1,h2,h3\na,b,c\nd,e,f\n";

TProject ReadProject(const QString& path) {
  TProject project(u"unread", -9, false);
  project.LoadFromFile(path.toStdU16String());
  return project;
}

class ProjectCommandsTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    form->SetStatusText(Before);
  }
  // Opens the File menu and returns the captions of its recent-projects items.
  QStringList OpenFileMenu() {
    Find<QMenu>(*form, "MenuFile")->popup(QPoint(0, 0));
    Find<QMenu>(*form, "MenuFile")->hide();
    QStringList captions;
    for (QAction* item : Find<QMenu>(*form, "MenuFileReOpen")->actions())
      captions << item->text();
    return captions;
  }
  QStringList NvsFiles() const {
    return QDir(dir.path()).entryList({QStringLiteral("*.NVS")}, QDir::Files);
  }
};

TEST_F(ProjectCommandsTest, OpenAppliesTheProjectAndPutsItFirstInTheHistory) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  const QString path = WriteProject(QStringLiteral("p.NVS"), csv, 2, true);
  form->Session().Config.AddHistory(u"/elsewhere/older.NVS");
  dialogs.fileAnswers = {path};

  Find<QAction>(*form, "ActionFileOpen")->trigger();

  ASSERT_TRUE(WaitIdle());

  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].fileKind, TFileDialog::Kind::Open);
  EXPECT_EQ(dialogs.calls[0].defaultExt, QStringLiteral("NVS"));
  EXPECT_EQ(dialogs.calls[0].filter,
            QStringLiteral("Norvalisプロジェクトファイル(*.NVS)|*.NVS|すべてのファイル(*.*)|*.*"));
  EXPECT_EQ(EditFilename()->text(), csv);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 3u);
  EXPECT_TRUE(TitleBox()->isChecked());
  EXPECT_TRUE(Grid()->FirstLineIsTitle());
  EXPECT_EQ(Grid()->Col(), 3) << "the column is set after the load and the title";
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Norvalis - p.NVS"));
  EXPECT_EQ(ProjectFileName(), path);
  EXPECT_EQ(HistoryOf(form->Session().Config),
            (QStringList{path, QStringLiteral("/elsewhere/older.NVS")}));
  EXPECT_EQ(form->StatusText(), Opened);
}

TEST_F(ProjectCommandsTest, OpenThatFailsOrIsCancelledLeavesTheWindowAsDescribed) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  const QString missingCsv = dir.filePath(QStringLiteral("gone.csv"));
  // A link to itself exists but cannot be read, also by root.
  const QString loop = dir.filePath(QStringLiteral("loop.NVS"));
  if (!platform::FileTesting::MakeSymbolicLink("loop.NVS", loop.toStdString()))
    GTEST_SKIP() << "no symbolic links here";
  struct Case {
    const char* name;
    std::optional<QString> answer;  // nullopt: cancelled
    const char* shown;              // start of the error shown, or null
    bool titled;
    QString edit;  // the CSV name the window shows afterwards
  };
  const QString wide = WriteProject(QStringLiteral("wide.NVS"), csv, 5, false);
  const QString none = dir.filePath(QStringLiteral("none.NVS"));
  const QString noCsv = WriteProject(QStringLiteral("m.NVS"), missingCsv, 0, true);
  const Case cases[] = {
      {"cancelled", std::nullopt, nullptr, false, {}},
      {"unreadable project file", loop, "ファイル", false, {}},
      {"column beyond the table", wide, "グリッドインデックスが範囲を超えています", false, csv},
      {"missing project file reads as defaults", none, nullptr, true, {}},
      {"missing CSV file is warned", noCsv, nullptr, true, missingCsv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Find<QAction>(*form, "ActionFileNew")->trigger();
    form->SetStatusText(Before);
    form->Session().Config.History.Clear();
    dialogs.calls.clear();
    dialogs.fileAnswers = {c.answer};

    Find<QAction>(*form, "ActionFileOpen")->trigger();

    ASSERT_TRUE(WaitIdle());

    if (c.shown != nullptr) {
      ASSERT_EQ(Shown().size(), 1);
      EXPECT_TRUE(Shown()[0].startsWith(QString::fromUtf8(c.shown))) << Shown()[0].toStdString();
    } else {
      EXPECT_EQ(Shown(), QStringList{});
    }
    EXPECT_EQ(EditFilename()->text(), c.edit);
    EXPECT_EQ(dialogs.Of(DialogCall::Kind::Warning).size(), c.edit == missingCsv ? 1u : 0u);
    EXPECT_EQ(ProjectFileName(), c.titled ? *c.answer : QString());
    EXPECT_EQ(form->windowTitle(),
              c.titled ? "Norvalis - " + QFileInfo(*c.answer).fileName() : Title);
    EXPECT_EQ(HistoryOf(form->Session().Config), c.titled ? QStringList{*c.answer} : QStringList{});
    EXPECT_EQ(form->StatusText() == Opened, c.titled);
  }
}

TEST_F(ProjectCommandsTest, ColumnBeyondTheTableKeepsTheProjectValuesAndTheLoadedFile) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  dialogs.fileAnswers = {WriteProject(QStringLiteral("wide.NVS"), csv, 3, true)};
  Find<QAction>(*form, "ActionFileOpen")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Shown(), QStringList{GridIndexError});
  EXPECT_EQ(form->Session().Project.FileName, csv.toStdU16String());
  EXPECT_EQ(form->Session().Project.Col, 3);
  EXPECT_TRUE(form->Session().Project.Title);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 3u);
  EXPECT_TRUE(Grid()->FirstLineIsTitle());
}

TEST_F(ProjectCommandsTest, NewKeepsTheTitleFlagAndEmptiesEverythingElse) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  const QString path = WriteProject(QStringLiteral("p.NVS"), csv, 1, true);
  form->OpenProject(path.toStdU16String());
  ASSERT_TRUE(WaitIdle());
  form->SetStatusText(Before);

  Find<QAction>(*form, "ActionFileNew")->trigger();

  EXPECT_TRUE(TitleBox()->isChecked());
  EXPECT_TRUE(Grid()->FirstLineIsTitle());
  EXPECT_EQ(EditFilename()->text(), QString());
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 0u);
  EXPECT_EQ(Grid()->Col(), 1);
  EXPECT_EQ(form->windowTitle(), Title);
  EXPECT_EQ(ProjectFileName(), QString());
  EXPECT_EQ(HistoryOf(form->Session().Config), QStringList{path})
      << "New does not touch the history";
  EXPECT_EQ(form->StatusText(), Before);
}

TEST_F(ProjectCommandsTest, SaveOnAnUntitledProjectAsksAndCancellingWritesNothing) {
  EditFilename()->setText(QStringLiteral("typed.csv"));
  for (QAction* command :
       {Find<QAction>(*form, "ActionFileSave"), Find<QAction>(*form, "ActionFileSaveAs")}) {
    SCOPED_TRACE(command->objectName().toStdString());
    dialogs.calls.clear();
    command->trigger();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].fileKind, TFileDialog::Kind::Save);
    EXPECT_TRUE(dialogs.calls[0].overwritePrompt);
    EXPECT_EQ(dialogs.calls[0].defaultExt, QStringLiteral("NVS"));
    EXPECT_EQ(NvsFiles(), QStringList{});
    EXPECT_EQ(form->Session().Project.FileName, u"") << "nothing collected";
    EXPECT_EQ(ProjectFileName(), QString());
    EXPECT_EQ(form->windowTitle(), Title);
    EXPECT_EQ(form->StatusText(), Before);
  }
}

TEST_F(ProjectCommandsTest, SaveAsNamesTheProjectAndSaveWritesTheSameFile) {
  OpenCsv(Write(QStringLiteral("x.csv"), ThreeColumns), true);
  Grid()->SetCol(3);
  // A name typed into the edit and never loaded is what the project stores.
  EditFilename()->setText(QStringLiteral("typed.csv"));
  const QString path = dir.filePath(QStringLiteral("b.NVS"));
  dialogs.fileAnswers = {path};

  Find<QAction>(*form, "ActionFileSave")->trigger();

  TProject saved = ReadProject(path);
  EXPECT_EQ(saved.FileName, u"typed.csv");
  EXPECT_EQ(saved.Col, 2);
  EXPECT_TRUE(saved.Title);
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Norvalis - b.NVS"));
  EXPECT_EQ(HistoryOf(form->Session().Config), QStringList{path});
  EXPECT_EQ(form->StatusText(), Saved);

  form->Session().Config.AddHistory(u"/elsewhere/newer.NVS");
  EditFilename()->setText(QStringLiteral("second.csv"));
  form->SetStatusText(Before);
  dialogs.calls.clear();
  Find<QAction>(*form, "ActionFileSave")->trigger();

  EXPECT_EQ(dialogs.calls.size(), 0u);
  EXPECT_EQ(ReadProject(path).FileName, u"second.csv");
  EXPECT_EQ(HistoryOf(form->Session().Config),
            (QStringList{QStringLiteral("/elsewhere/newer.NVS"), path}));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Norvalis - b.NVS"));
  EXPECT_EQ(form->StatusText(), Saved);
}

TEST_F(ProjectCommandsTest, FailingSaveIsShownAndChangesNeitherCaptionNorHistoryNorStatus) {
  const QString titled = dir.filePath(QStringLiteral("t.NVS"));
  EditFilename()->setText(QStringLiteral("one.csv"));
  dialogs.fileAnswers = {titled};
  Find<QAction>(*form, "ActionFileSaveAs")->trigger();
  ASSERT_EQ(ProjectFileName(), titled);

  struct Case {
    const char* name;
    QAction* command;
    std::optional<QString> answer;
  };
  const QString other = dir.filePath(QStringLiteral("u.NVS"));
  const Case cases[] = {
      {"Save", Find<QAction>(*form, "ActionFileSave"), std::nullopt},
      {"Save As", Find<QAction>(*form, "ActionFileSaveAs"), other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.calls.clear();
    dialogs.fileAnswers = {c.answer};
    EditFilename()->setText(QStringLiteral("two.csv"));
    form->SetStatusText(Before);
    {
      AtomicFileTesting::ScopedStepFailure failure(AtomicFileTesting::Step::Write, ENOSPC);
      c.command->trigger();
    }
    EXPECT_EQ(Shown().size(), 1);
    EXPECT_EQ(ReadProject(titled).FileName, u"one.csv") << "the old file is kept";
    EXPECT_FALSE(QFileInfo::exists(other));
    EXPECT_EQ(ProjectFileName(), titled);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Norvalis - t.NVS"));
    EXPECT_EQ(HistoryOf(form->Session().Config), QStringList{titled});
    EXPECT_EQ(form->StatusText(), Before);
  }
}

TEST_F(ProjectCommandsTest, RecentProjectsFollowTheHistoryAndOpeningMovesOneToTheFront) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  QStringList paths;
  for (const char* name : {"p0.NVS", "p1.NVS", "a&b.NVS"}) {
    paths << WriteProject(QString::fromUtf8(name), csv, 0, false);
  }
  EXPECT_EQ(OpenFileMenu(), QStringList{}) << "empty history, empty submenu";
  for (qsizetype i = paths.size(); i-- > 0;)
    form->Session().Config.AddHistory(paths[i].toStdU16String());

  QString escaped = paths[2];
  escaped.replace(QStringLiteral("&"), QStringLiteral("&&"));
  EXPECT_EQ(OpenFileMenu(), (QStringList{"&0." + paths[0], "&1." + paths[1], "&2." + escaped}));
  EXPECT_EQ(OpenFileMenu().size(), 3) << "rebuilt, not appended";

  Find<QMenu>(*form, "MenuFileReOpen")->actions().at(1)->trigger();

  ASSERT_TRUE(WaitIdle());

  EXPECT_EQ(ProjectFileName(), paths[1]);
  EXPECT_EQ(form->StatusText(), Opened);
  EXPECT_EQ(OpenFileMenu(), (QStringList{"&0." + paths[1], "&1." + paths[0], "&2." + escaped}));
}

TEST_F(ProjectCommandsTest, VanishedOrStaleRecentProjectIsDroppedOrIgnoredSilently) {
  const QString kept = WriteProject(QStringLiteral("kept.NVS"), QString(), 0, false);
  const QString gone = dir.filePath(QStringLiteral("gone.NVS"));
  form->Session().Config.AddHistory(gone.toStdU16String());
  form->Session().Config.AddHistory(kept.toStdU16String());
  OpenFileMenu();
  QAction* goneItem = Find<QMenu>(*form, "MenuFileReOpen")->actions().at(1);

  goneItem->trigger();

  EXPECT_EQ(dialogs.calls.size(), 0u);
  EXPECT_EQ(form->StatusText(), Before);
  EXPECT_EQ(HistoryOf(form->Session().Config), QStringList{kept});
  EXPECT_EQ(OpenFileMenu(), QStringList{"&0." + kept});

  // An item whose index the history no longer reaches.
  OpenFileMenu();
  QAction* staleItem = Find<QMenu>(*form, "MenuFileReOpen")->actions().at(0);
  form->Session().Config.History.Clear();
  staleItem->trigger();
  EXPECT_EQ(dialogs.calls.size(), 0u);
  EXPECT_EQ(ProjectFileName(), QString());
}

}  // namespace
}  // namespace norvalis
