#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "WindowTestSupport.h"
#include "app/Application.h"
#include "app/FormConfigGeneral.h"
#include "app/FormMain.h"
#include "app/HelpWindow.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::FakeDialogs;

QString SettingsText() {
  QFile file(testing::SettingsFile());
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readAll());
}

void Press(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
}

TFormConfigGeneral& Dialog(QDialog& dialog) {
  return dynamic_cast<TFormConfigGeneral&>(dialog);
}

// The next widget that Tab reaches after widget.
QWidget* NextTabStop(QWidget* widget) {
  for (QWidget* w = widget->nextInFocusChain(); w != widget; w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(w->window())) {
      return w;
    }
  }
  return widget;
}

class ConfigGeneral : public ::testing::Test {
 protected:
  void SetUp() override { QFile::remove(testing::SettingsFile()); }
  void TearDown() override { QFile::remove(testing::SettingsFile()); }

  // Runs the command on config; act works the open dialog.
  void Run(const std::function<void(TFormConfigGeneral&)>& act) {
    dialogs.onExec = [&](QDialog& dialog) { act(Dialog(dialog)); };
    ExecuteConfigGeneral(nullptr, config);
  }
  // What the dialog shows when opened on config: project box, window box.
  std::pair<bool, bool> Shown() {
    std::pair<bool, bool> shown;
    Run([&](TFormConfigGeneral& d) {
      shown = {Find<QCheckBox>(d, "CheckBoxProjectFileRestore")->isChecked(),
               Find<QCheckBox>(d, "CheckBoxWindowPositionRestore")->isChecked()};
      Find<QPushButton>(d, "BitBtn2")->click();
    });
    return shown;
  }

  FakeDialogs dialogs;
  TConfig config;
};

TEST_F(ConfigGeneral, LayoutIsAsDesigned) {
  TFormConfigGeneral d(nullptr);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("全般設定"));
  EXPECT_EQ(d.minimumSize(), QSize(336, 208));
  EXPECT_EQ(d.maximumSize(), QSize(336, 208));
  ASSERT_EQ(Find<QTabWidget>(d, "PageControl1")->count(), 1);
  EXPECT_EQ(Find<QTabWidget>(d, "PageControl1")->currentWidget(), Find<QWidget>(d, "TabSheet1"));
  EXPECT_EQ(Find<QTabWidget>(d, "PageControl1")->tabText(0), QStringLiteral("起動時(&1)"));
  struct Place {
    QWidget* widget;
    QRect rect;
    QString text;
  };
  const Place places[] = {
      {Find<QTabWidget>(d, "PageControl1"), QRect(0, 0, 336, 152), {}},
      {Find<QCheckBox>(d, "CheckBoxProjectFileRestore"), QRect(16, 16, 281, 17),
       QStringLiteral("前回の終了時に開いていたファイルを、起動時に開く")},
      {Find<QCheckBox>(d, "CheckBoxWindowPositionRestore"), QRect(16, 39, 297, 17),
       QStringLiteral("前回の終了時のウィンドウの状態を、起動時に復元する")},
      {Find<QWidget>(d, "Panel1"), QRect(0, 152, 336, 56), {}},
      {Find<QPushButton>(d, "BitBtn1"), QRect(152, 16, 75, 25), QStringLiteral("OK")},
      {Find<QPushButton>(d, "BitBtn2"), QRect(233, 16, 84, 25), QStringLiteral("キャンセル")},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.widget->objectName().toStdString());
    EXPECT_EQ(p.widget->geometry(), p.rect);
    if (auto* box = qobject_cast<QAbstractButton*>(p.widget)) {
      EXPECT_EQ(box->text(), p.text);
    }
  }
  EXPECT_TRUE(Find<QPushButton>(d, "BitBtn1")->isDefault());
  EXPECT_FALSE(Find<QPushButton>(d, "BitBtn2")->isDefault());
  // Tab order: the page tabs, the two boxes, OK, Cancel.
  QWidget* tabs = Find<QTabWidget>(d, "PageControl1")->findChild<QTabBar*>();
  const QWidget* order[] = {Find<QCheckBox>(d, "CheckBoxProjectFileRestore"),
                            Find<QCheckBox>(d, "CheckBoxWindowPositionRestore"),
                            Find<QPushButton>(d, "BitBtn1"), Find<QPushButton>(d, "BitBtn2")};
  QWidget* at = tabs;
  for (const QWidget* expected : order) {
    at = NextTabStop(at);
    EXPECT_EQ(at, expected) << at->objectName().toStdString();
  }
}

TEST_F(ConfigGeneral, ShowsTheSettingsAsHeld) {
  for (bool project : {false, true}) {
    for (bool window : {false, true}) {
      SCOPED_TRACE(::testing::PrintToString(std::pair{project, window}));
      config.ProjectFileRestore = project;
      config.WindowPositionRestore = window;
      EXPECT_EQ(Shown(), std::pair(project, window));
    }
  }
}

struct AnswerCase {
  const char* name;
  std::function<void(TFormConfigGeneral&)> answer;
};

TEST_F(ConfigGeneral, OkSavesAtOnceAlsoWithoutAChange) {
  const AnswerCase oks[] = {
      {"OkButton", [](TFormConfigGeneral& d) { Find<QPushButton>(d, "BitBtn1")->click(); }},
      {"Enter", [](TFormConfigGeneral& d) { Press(&d, Qt::Key_Return); }},
  };
  for (const AnswerCase& ok : oks) {
    for (bool change : {false, true}) {
      SCOPED_TRACE(std::string(ok.name) + (change ? " with change" : " without change"));
      QFile::remove(testing::SettingsFile());
      config = TConfig();
      config.ProjectFileRestore = true;
      config.WindowPositionLeft = 123;  // as loaded at start-up; saved as held
      Run([&](TFormConfigGeneral& d) {
        if (change) Find<QCheckBox>(d, "CheckBoxWindowPositionRestore")->click();
        ok.answer(d);
      });
      EXPECT_EQ(config.WindowPositionRestore, change);
      EXPECT_TRUE(config.ProjectFileRestore);
      const QString text = SettingsText();
      EXPECT_TRUE(text.contains(change ? QStringLiteral("\r\nWindowPositionRestore=1\r\n")
                                       : QStringLiteral("\r\nWindowPositionRestore=0\r\n")))
          << text.toStdString();
      EXPECT_TRUE(text.contains(QStringLiteral("\r\nProjectFileRestore=1\r\n")));
      EXPECT_TRUE(text.contains(QStringLiteral("\r\nWindowPositionLeft=123\r\n")));
      // The next opening shows what OK stored.
      EXPECT_EQ(Shown(), std::pair(true, change));
    }
  }
}

TEST_F(ConfigGeneral, EveryOtherAnswerChangesNothing) {
  const AnswerCase cancels[] = {
      {"CancelButton", [](TFormConfigGeneral& d) { Find<QPushButton>(d, "BitBtn2")->click(); }},
      {"Escape",
       [](TFormConfigGeneral& d) {
         Press(Find<QCheckBox>(d, "CheckBoxProjectFileRestore"), Qt::Key_Escape);
       }},
      {"CloseBox", [](TFormConfigGeneral& d) { d.close(); }},
  };
  for (const AnswerCase& cancel : cancels) {
    SCOPED_TRACE(cancel.name);
    config.ProjectFileRestore = false;
    config.WindowPositionRestore = true;
    Run([&](TFormConfigGeneral& d) {
      Find<QCheckBox>(d, "CheckBoxProjectFileRestore")->click();
      Find<QCheckBox>(d, "CheckBoxWindowPositionRestore")->click();
      cancel.answer(d);
    });
    EXPECT_FALSE(config.ProjectFileRestore);
    EXPECT_TRUE(config.WindowPositionRestore);
    EXPECT_FALSE(QFile::exists(testing::SettingsFile()));
    EXPECT_EQ(Shown(), std::pair(false, true));
  }
}

TEST_F(ConfigGeneral, FolderThatCannotBeMadeIsWarnedAbout) {
  QTemporaryDir dir;
  const QString blocker = testing::WriteFile(dir, QStringLiteral("not-a-folder"), "x");
  const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
  Run([](TFormConfigGeneral& d) {
    Find<QCheckBox>(d, "CheckBoxProjectFileRestore")->click();
    Find<QPushButton>(d, "BitBtn1")->click();
  });
  qputenv("XDG_CONFIG_HOME", previous);

  const auto warnings = dialogs.Of(DialogCall::Kind::Warning);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].text,
            QStringLiteral("設定ファイルを保存するためのフォルダの作成に失敗しました。"));
  // The choice stays in memory, to be written when the window closes.
  EXPECT_TRUE(config.ProjectFileRestore);
  EXPECT_FALSE(QDir(blocker).exists());
}

TEST_F(ConfigGeneral, F1OpensTheSettingsTopic) {
  Application* app = Application::Instance();
  ASSERT_NE(app, nullptr);
  QTemporaryDir dir;
  const QString contents =
      testing::WriteFile(dir, QStringLiteral("index.html"), "<html><body>目次</body></html>");
  testing::WriteFile(dir, QStringLiteral("settings.html"), "<html><body>全般設定</body></html>");
  const QString previous = app->HelpFile();
  app->SetHelpFile(contents);
  Run([](TFormConfigGeneral& d) {
    Press(Find<QCheckBox>(d, "CheckBoxWindowPositionRestore"), Qt::Key_F1);
  });
  app->SetHelpFile(previous);

  ASSERT_NE(app->Help(), nullptr);
  EXPECT_TRUE(app->Help()->isVisible());
  EXPECT_EQ(app->Help()->Source().fileName(), QStringLiteral("settings.html"));
  EXPECT_EQ(app->Help()->Text(), QStringLiteral("全般設定"));
  app->Help()->close();
}

TEST_F(ConfigGeneral, WindowCommandUsesItsSettingsAndCentresTheDialog) {
  TFormMain form;
  form.show();
  ASSERT_TRUE(testing::WaitUntil([&] { return !form.StartupPending(); }));
  form.Session().Config.WindowPositionRestore = true;
  dialogs.onExec = [&](QDialog& dialog) {
    EXPECT_EQ(dialog.parentWidget(), &form);
    EXPECT_LE((dialog.geometry().center() - form.geometry().center()).manhattanLength(), 2);
    EXPECT_TRUE(Find<QCheckBox>(Dialog(dialog), "CheckBoxWindowPositionRestore")->isChecked());
    Find<QPushButton>(Dialog(dialog), "BitBtn1")->click();
  };
  Find<QAction>(form, "ActionConfigGeneral")->trigger();
  EXPECT_EQ(dialogs.Of(DialogCall::Kind::Modal).size(), 1u);
  EXPECT_TRUE(SettingsText().contains(QStringLiteral("\r\nWindowPositionRestore=1\r\n")));
}

}  // namespace
}  // namespace norvalis
