#include <functional>

#include <gtest/gtest.h>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "WindowTestSupport.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::GridIndexError;
using testing::HistoryOf;

const std::string ThreeColumns = "h1,h2,h3\na,b,c\nd,e,f\n";

void SaveSettings(const std::function<void(TConfig&)>& change) {
  TConfig config;
  change(config);
  config.Save(GetSettingsFilePath());
}

TConfig LoadSettings() {
  TConfig config;
  config.Load(GetSettingsFilePath());
  return config;
}

using StartupTest = testing::WindowTest;

TEST_F(StartupTest, WithoutArgumentsTheLastProjectReopensOnlyWhenAskedAndPresent) {
  struct Case {
    const char* name;
    bool restore;
    bool exists;
  };
  const Case cases[] = {
      {"asked and present", true, true},
      {"not asked", false, true},
      {"gone", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString last = dir.filePath(QStringLiteral("last.NVS"));
    QFile::remove(last);
    if (c.exists) WriteProject(QStringLiteral("last.NVS"), QString(), 0, false);
    SaveSettings([&](TConfig& config) {
      config.ProjectFileRestore = c.restore;
      config.LastProjectFile = last.toStdU16String();
    });
    Start();
    EXPECT_EQ(ProjectFileName(), c.restore && c.exists ? last : QString());
  }
}

TEST_F(StartupTest, WindowBoundsAndStateAreRestoredWhenAsked) {
  struct Case {
    const char* name;
    bool restore;
    int state;
    Qt::WindowState expected;
  };
  const Case cases[] = {
      {"normal", true, 0, Qt::WindowNoState},
      {"minimized", true, 1, Qt::WindowMinimized},
      {"maximized", true, 2, Qt::WindowMaximized},
      {"not asked", false, 2, Qt::WindowNoState},
  };
  const QRect stored(40, 30, 600, 420);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start({}, [&](TFormMain& f) {
      f.Session().Config.WindowPositionRestore = c.restore;
      f.Session().Config.WindowPositionLeft = stored.x();
      f.Session().Config.WindowPositionTop = stored.y();
      f.Session().Config.WindowPositionRight = stored.width();
      f.Session().Config.WindowPositionBottom = stored.height();
      f.Session().Config.WindowState = c.state;
    });
    EXPECT_EQ(form->windowState(), c.expected);
    if (c.restore) {
      EXPECT_EQ(form->normalGeometry(), stored);
    } else {
      EXPECT_EQ(form->width(), TFormMain::DesignClientWidth);
    }
  }
}

TEST_F(StartupTest, ArgumentsAreHandledInOrderAndTheLastProjectIsNotReopened) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  const QString project = WriteProject(QStringLiteral("p.NVS"), csv, 1, false);
  const QString last = WriteProject(QStringLiteral("last.NVS"), QString(), 0, false);
  SaveSettings([&](TConfig& config) {
    config.ProjectFileRestore = true;
    config.LastProjectFile = last.toStdU16String();
  });
  struct Case {
    const char* name;
    QStringList arguments;
    QString edit;
    bool title;
    int col;
    QString project;  // the project file opened, if any
    QString shown;    // the error shown, if any
  };
  const QString f = "-f=" + csv, projectRule = "-f=" + project.toLower();
  const QString notBoolean = QStringLiteral("'yes' は正しい論理型ではありません");
  const Case cases[] = {
      {"file, title, column", {f, "-t=1", "-c=2"}, csv, true, 3, {}, {}},
      {"title after column", {f, "-c=2", "-t=1"}, csv, true, 1, {}, {}},
      {"column before the file", {"-c=5", f}, {}, false, 1, {}, GridIndexError},
      {"not a Boolean", {f, "-t=yes", "-c=2"}, csv, false, 1, {}, notBoolean},
      {"a single project file", {project}, csv, false, 2, project, {}},
      {"project rule comes first", {projectRule}, {}, false, 1, projectRule, {}},
      {"a bare CSV file", {csv}, csv, false, 1, {}, {}},
      {"other options are ignored", {"--verbose", "-x=1"}, {}, false, 1, {}, {}},
      {"a later argument acts on it", {project, "-c=0", "-t=true"}, csv, true, 1, project, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.calls.clear();
    Start(c.arguments);
    EXPECT_EQ(EditFilename()->text(), c.edit);
    EXPECT_EQ(TitleBox()->isChecked(), c.title);
    EXPECT_EQ(Grid()->FirstLineIsTitle(), c.title);
    EXPECT_EQ(Grid()->Col(), c.col);
    EXPECT_EQ(ProjectFileName(), c.project);
    EXPECT_EQ(Shown(), c.shown.isEmpty() ? QStringList{} : QStringList{c.shown});
    EXPECT_TRUE(dialogs.Of(DialogCall::Kind::Warning).empty());
  }
}

// "Open with" passes a bare name; a missing one is reported as -f= reports it, not ignored.
TEST_F(StartupTest, BareArgumentIsACsvFileNameLikeFileOption) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  const QString none = dir.filePath(QStringLiteral("ない.csv"));
  for (const QString& name : {csv, none}) {
    QString status;
    QStringList warnings;
    for (const QString& argument : {QStringLiteral("-f=") + name, name}) {
      SCOPED_TRACE(argument.toStdString());
      dialogs.calls.clear();
      Start({argument});
      EXPECT_EQ(EditFilename()->text(), name);
      if (argument == name) {
        EXPECT_EQ(form->StatusText(), status);
        EXPECT_EQ(Warnings(), warnings);
      }
      status = form->StatusText();
      warnings = Warnings();
    }
    EXPECT_FALSE(status.isEmpty());
  }
  EXPECT_EQ(Warnings(), QStringList{QStringLiteral("CSVファイルが見つかりません。\n") + none});
}

TEST_F(StartupTest, TitleArgumentTakesTheToolkitBooleans) {
  struct Case {
    const char* value;
    bool valid;
    bool title;
  };
  const Case cases[] = {
      {"TRUE", true, true}, {"tRuE", true, true},    {"False", true, false}, {"1", true, true},
      {"-2", true, true},   {"0.5", true, true},     {"0", true, false},     {"0.0", true, false},
      {"-0", true, false},  {"yes", false, false},   {"", false, false},     {"1x", false, false},
      {"on", false, false}, {" true", false, false}, {"1e", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    dialogs.calls.clear();
    // The box starts ticked, so a valid false shows as a change.
    Start({QStringLiteral("-t=1"), QStringLiteral("-t=") + QString::fromUtf8(c.value)});
    if (c.valid) {
      EXPECT_EQ(Shown(), QStringList{});
      EXPECT_EQ(TitleBox()->isChecked(), c.title);
    } else {
      EXPECT_EQ(
          Shown(),
          QStringList{
              QStringLiteral("'%1' は正しい論理型ではありません").arg(QString::fromUtf8(c.value))});
      EXPECT_TRUE(TitleBox()->isChecked());
    }
  }
}

TEST_F(StartupTest, ColumnArgumentTakesTheToolkitIntegers) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  struct Case {
    const char* value;
    int col;  // -1: the grid error
  };
  const Case cases[] = {
      {"2", 3},  {" 1", 2},  {"+1", 2},          {"$2", 3}, {"0x1", 2}, {"", 1},
      {"2 ", 1}, {"1.5", 1}, {"99999999999", 1}, {"3", -1}, {"-2", -1}, {"-1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    dialogs.calls.clear();
    Start({"-f=" + csv, QStringLiteral("-c=") + QString::fromUtf8(c.value)});
    if (c.col == -1) {
      EXPECT_EQ(Shown(), QStringList{GridIndexError});
    } else {
      EXPECT_EQ(Shown(), QStringList{});
      EXPECT_EQ(Grid()->Col(), c.col);
    }
  }
}

TEST_F(StartupTest, ClosingRecordsNormalBoundsStateAndLastProject) {
  struct Case {
    const char* name;
    Qt::WindowState state;
    bool titled;
    int stored;
  };
  const Case cases[] = {
      {"normal, titled", Qt::WindowNoState, true, 0},
      {"minimized", Qt::WindowMinimized, false, 1},
      {"maximized", Qt::WindowMaximized, false, 2},
  };
  const QRect normal(50, 60, 520, 380);
  const QString project = WriteProject(QStringLiteral("p.NVS"), QString(), 0, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(testing::SettingsFile());
    Start();
    form->setGeometry(normal);
    ASSERT_TRUE(testing::WaitUntil([&] { return form->geometry() == normal; }));
    if (c.titled) form->OpenProject(project.toStdU16String());
    form->setWindowState(c.state);
    ASSERT_TRUE(testing::WaitUntil([&] { return form->windowState() == c.state; }));
    if (c.state == Qt::WindowMaximized) {
      ASSERT_TRUE(testing::WaitUntil([&] { return form->geometry() != normal; }));
    }

    Find<QAction>(*form, "ActionFileClose")->trigger();

    EXPECT_TRUE(form->isHidden());
    const TConfig saved = LoadSettings();
    EXPECT_EQ(saved.WindowState, c.stored);
    EXPECT_EQ(QRect(saved.WindowPositionLeft, saved.WindowPositionTop, saved.WindowPositionRight,
                    saved.WindowPositionBottom),
              normal);
    EXPECT_EQ(QString::fromStdU16String(saved.LastProjectFile), c.titled ? project : QString());
    EXPECT_EQ(HistoryOf(saved), c.titled ? QStringList{project} : QStringList{});
  }
}

TEST_F(StartupTest, SettingsFolderThatCannotBeMadeIsWarnedAndTheWindowStillCloses) {
  Start();
  const QByteArray home = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", Write(QStringLiteral("a-file"), "x").toUtf8() + "/below");
  form->close();
  qputenv("XDG_CONFIG_HOME", home);
  EXPECT_TRUE(form->isHidden());
  ASSERT_EQ(dialogs.Of(DialogCall::Kind::Warning).size(), 1u);
  EXPECT_EQ(dialogs.Of(DialogCall::Kind::Warning)[0].text,
            QStringLiteral("設定ファイルを保存するためのフォルダの作成に失敗しました。"));
}

TEST_F(StartupTest, DroppedFilesOpenAsTheirKindOrAreRefused) {
  const QString csv = Write(QStringLiteral("x.csv"), ThreeColumns);
  const QString upper = Write(QStringLiteral("y.CSV"), "1\n");
  const QString first = WriteProject(QStringLiteral("first.NVS"), csv, 0, false);
  const QString second = WriteProject(QStringLiteral("second.nvs"), QString(), 0, false);
  const QString text = Write(QStringLiteral("notes.txt"), "x\n");
  struct Case {
    const char* name;
    QStringList files;
    bool accepted;
    QString edit;
    QString project;
  };
  const Case cases[] = {
      {"a CSV file", {text, csv}, true, QDir::toNativeSeparators(csv), {}},
      {"CSV extension in any case", {upper}, true, QDir::toNativeSeparators(upper), {}},
      // The CSV file's name as the project holds it.
      {"the first project file wins",
       {csv, first, second},
       true,
       csv,
       QDir::toNativeSeparators(first)},
      {"other files", {text}, false, {}, {}},
  };
  Start();
  ASSERT_TRUE(form->acceptDrops());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Find<QAction>(*form, "ActionFileNew")->trigger();
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : c.files)
      urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &enter);
    EXPECT_EQ(enter.isAccepted(), c.accepted);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &drop);
    testing::WaitUntil(
        [&] { return EditFilename()->text() == c.edit && !form->Document().IsLoading(); });
    EXPECT_EQ(EditFilename()->text(), c.edit);
    EXPECT_EQ(ProjectFileName(), c.project);
  }
}

}  // namespace
}  // namespace norvalis
