#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include "../support/TempDir.h"
#include "app/Dialogs.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

// Test failures show texts readably.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace norvalis::testing {

// One dialog the program asked for.
struct DialogCall {
  enum class Kind { Warning, Question, Critical, File, Modal };
  Kind kind = Kind::Warning;
  QString title{};
  QString text{};
  // For file dialogs: what the program showed.
  TFileDialog::Kind fileKind = TFileDialog::Kind::Open;
  QString filter{};
  QString defaultExt{};
  bool overwritePrompt = false;
};

// Answers every dialog at once and records what was asked. File dialogs take their answers
// from fileAnswers in order (none left, or nullopt: cancelled).
class FakeDialogs : public Dialogs {
 public:
  FakeDialogs() : previous_(Dialogs::Install(this)) {}
  ~FakeDialogs() override { Dialogs::Install(previous_); }
  FakeDialogs(const FakeDialogs&) = delete;
  FakeDialogs& operator=(const FakeDialogs&) = delete;

  std::vector<DialogCall> calls;
  std::deque<std::optional<QString>> fileAnswers;
  // Answers of question boxes in order (none left: No).
  std::deque<bool> questionAnswers;
  // Runs while a box is "open", to look at the window behind it.
  std::function<void(const DialogCall&)> onShow;
  // Thrown by the next file dialog instead of answering.
  std::function<void()> fileDialogThrows;
  // Acts on a modal dialog of the program while it runs (clicks, keys); a dialog it leaves
  // open is cancelled.
  std::function<void(QDialog&)> onExec;

  void Warning(QWidget*, const QString& text) override {
    Record({.kind = DialogCall::Kind::Warning, .title = WarningTitle, .text = text});
  }
  bool Question(QWidget*, const QString& text) override {
    Record({.kind = DialogCall::Kind::Question, .title = QuestionTitle, .text = text});
    if (questionAnswers.empty()) return false;
    const bool yes = questionAnswers.front();
    questionAnswers.pop_front();
    return yes;
  }
  void Critical(QWidget*, const QString& title, const QString& text) override {
    Record({.kind = DialogCall::Kind::Critical, .title = title, .text = text});
  }
  std::optional<QString> ExecuteFileDialog(QWidget*, const TFileDialog& dialog) override {
    Record({.kind = DialogCall::Kind::File,
            .fileKind = dialog.DialogKind(),
            .filter = dialog.Filter(),
            .defaultExt = dialog.DefaultExt(),
            .overwritePrompt = dialog.OverwritePrompt()});
    if (fileDialogThrows) std::exchange(fileDialogThrows, nullptr)();
    if (fileAnswers.empty()) return std::nullopt;
    // Copied as a text, not as an optional: g++ 12 misreads the optional's copy at -O2.
    const bool cancelled = !fileAnswers.front().has_value();
    const QString answer = fileAnswers.front().value_or(QString());
    fileAnswers.pop_front();
    if (cancelled) return std::nullopt;
    return answer;
  }

  int Exec(QDialog& dialog) override {
    Record({.kind = DialogCall::Kind::Modal, .title = dialog.windowTitle()});
    QTimer::singleShot(0, &dialog, [this, &dialog] {
      if (onExec) onExec(dialog);
      if (dialog.isVisible()) dialog.reject();
    });
    return dialog.exec();
  }

  std::vector<DialogCall> Of(DialogCall::Kind kind) const {
    std::vector<DialogCall> result;
    for (const DialogCall& c : calls) {
      if (c.kind == kind) result.push_back(c);
    }
    return result;
  }

 private:
  void Record(const DialogCall& call) {
    calls.push_back(call);
    if (onShow) onShow(call);
  }

  Dialogs* previous_;
};

// Processes events until the condition holds or the limit passes; true if it holds.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  QDeadlineTimer deadline(limit);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// The tests' shared scratch folder, spoken to as a QTemporaryDir is.
class ScratchDir : public test::TempDir {
 public:
  bool isValid() const { return IsValid(); }
  QString path() const { return QString::fromStdString(Folder()); }
  QString filePath(const QString& name) const { return path() + u'/' + name; }
};

// Writes bytes to a file in dir (a ScratchDir or a QTemporaryDir); returns its path.
template <typename Dir>
QString WriteFile(const Dir& dir, const QString& name, const std::string& bytes) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {};
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return path;
}

}  // namespace norvalis::testing

namespace norvalis {

// A control of a window, found by its object name (the window keeps its controls private).
template <typename T>
T* Find(const QObject& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(control, nullptr) << "no control named " << name;
  return control;
}

}  // namespace norvalis
