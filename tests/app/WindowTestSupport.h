#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QAccessible>
#include <QGuiApplication>
#include <QStatusBar>
#include <QStringList>
#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "app/FormMain.h"
#include "persistence/Config.h"
#include "persistence/Project.h"

namespace norvalis::testing {

inline QString SettingsFile() {
  return QString::fromStdU16String(GetSettingsFilePath());
}

inline QStringList HistoryOf(const TConfig& config) {
  QStringList result;
  for (int i = 0; i < config.History.Count(); ++i) {
    result << QString::fromStdU16String(config.History[i]);
  }
  return result;
}

// A shown main window on fresh settings, with its files in a scratch folder; every dialog
// answered by the fake.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QFile::remove(SettingsFile());
  }
  void TearDown() override {
    form.reset();
    QFile::remove(SettingsFile());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "busy cursor left behind";
  }

  // Makes the window, lets `prepare` change it, shows it and waits for its start-up work.
  void Start(const QStringList& arguments = {},
             const std::function<void(TFormMain&)>& prepare = {}) {
    form = std::make_unique<TFormMain>();
    form->SetCommandLine(arguments);
    if (prepare) prepare(*form);
    form->show();
    ASSERT_TRUE(WaitUntil([&] { return !form->StartupPending(); }));
    ASSERT_TRUE(WaitLoaded());
  }

  // The window's controls, found by their object names.
  TGridCsv* Grid() const { return Find<TGridCsv>(*form, "Grid"); }
  QLineEdit* EditFilename() const { return Find<QLineEdit>(*form, "EditFilename"); }
  QCheckBox* TitleBox() const { return Find<QCheckBox>(*form, "CheckBoxFirstLineIsTitle"); }
  QProgressBar* ProgressBar() const { return Find<QProgressBar>(*form, "ProgressBar1"); }

  bool WaitLoaded() {
    return WaitUntil([&] { return !form->Document().IsLoading(); });
  }
  // Waits until no operation runs: its answer has been shown.
  bool WaitIdle() {
    return WaitUntil([&] { return !form->Document().IsBusy(); });
  }
  // Triggers the command and waits until what it started has been answered.
  void Run(const char* action) {
    Find<QAction>(*form, action)->trigger();
    ASSERT_TRUE(WaitIdle());
  }
  QString Write(const QString& name, const std::string& bytes) {
    return WriteFile(dir, name, bytes);
  }
  QString WriteProject(const QString& name, const QString& csv, int col, bool title) {
    const QString path = dir.filePath(name);
    TProject(csv.toStdU16String(), col, title).SaveToFile(path.toStdU16String());
    return path;
  }
  void Open(const QString& path) { form->OpenCsvFile(path.toStdU16String()); }
  // Opens the file and waits until it is loaded.
  void Load(const QString& path) {
    Open(path);
    ASSERT_TRUE(WaitLoaded());
  }
  void OpenCsv(const QString& path, bool title = false) {
    Load(path);
    TitleBox()->setChecked(title);
    form->CheckBoxFirstLineIsTitleClick();
  }
  QString ProjectFileName() const {
    return QString::fromStdU16String(form->Session().ProjectFileName);
  }
  // What a screen reader reads as the status bar's name.
  QString StatusBarAccessibleName() const {
    QAccessibleInterface* bar =
        QAccessible::queryAccessibleInterface(Find<QStatusBar>(*form, "StatusBar1"));
    return bar != nullptr ? bar->text(QAccessible::Name) : QString();
  }
  // The texts of the boxes of one kind that were shown.
  QStringList Texts(DialogCall::Kind kind) const {
    QStringList texts;
    for (const DialogCall& call : dialogs.Of(kind))
      texts << call.text;
    return texts;
  }
  // The texts of the exceptions that reached the application's display.
  QStringList Shown() const { return Texts(DialogCall::Kind::Critical); }
  QStringList Warnings() const { return Texts(DialogCall::Kind::Warning); }

  FakeDialogs dialogs;
  ScratchDir dir;
  std::unique_ptr<TFormMain> form;
};

inline const QString GridIndexError = QStringLiteral("グリッドインデックスが範囲を超えています");

}  // namespace norvalis::testing
