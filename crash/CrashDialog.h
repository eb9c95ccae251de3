#pragma once

#include <functional>
#include <vector>

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>

#include "HandoverOptions.h"
#include "ReportPage.h"

class QLabel;
class QPushButton;

namespace norvalis::crash {

// What the dialog shows and what its buttons act on, as each system's helper gathered it.
struct CrashDialogContent {
  std::vector<ReportPage> pages;
  HandoverOptions options;
  QString logStem;                // where the log goes, without extension
  bool logSaved = false;          // already written
  QImage screenshot;              // the screen before the program's windows closed; null when none
  std::function<bool()> restart;  // starts the program again; empty when it cannot
};

// The dialog shown after a crash: the report's pages in tabs and the buttons that the crashed
// executable's options block enables.
class CrashDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CrashDialog(CrashDialogContent content, QWidget* parent = nullptr);

  // Presses the buttons with these captions in order, as a user would; an unknown caption
  // closes the dialog, so an answer never leaves it waiting.
  void Answer(const QStringList& captions);

 private:
  QPushButton* AddButton(const QString& caption, const char* objectName, bool shown);
  void CopyReport();
  void AttachScreenshot();
  void SaveLog();
  void SendReport();
  void Restart();

  CrashDialogContent content_;
  bool screenshotAttached_ = false;
  QLabel* status_ = nullptr;
  QList<QPushButton*> buttons_;
};

// Shows the dialog until it is closed, with the toolkit's own texts in Japanese: takes the
// screenshot the options ask for, calls release (the crashed program may end now), then shows
// the report; NORVALIS_CRASH_ANSWER, when set, answers it. Returns the exit code.
int RunCrashDialog(int& argc, char** argv, CrashDialogContent content,
                   const std::function<void()>& release);

}  // namespace norvalis::crash
