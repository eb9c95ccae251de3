#pragma once

#include <filesystem>

#include <QDialog>
#include <QImage>
#include <QStringList>

#include "CrashReport.h"
#include "Handover.h"

class QLabel;
class QPushButton;

namespace norvalis::crash {

// The dialog shown after a crash: the report's pages in tabs and the buttons that the crashed
// executable's options block enables.
class CrashDialog : public QDialog {
  Q_OBJECT

 public:
  // screenshot: the screen as it was before the program's windows closed (null when none could
  // be taken); logStem: where the log goes, without extension; logSaved: already written.
  CrashDialog(const Handover& handover, CrashReport report, QImage screenshot,
              std::filesystem::path logStem, bool logSaved, QWidget* parent = nullptr);

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

  HandoverOptions options_;
  CrashReport report_;
  QImage screenshot_;
  std::filesystem::path logStem_;
  bool screenshotAttached_ = false;
  QLabel* status_ = nullptr;
  QList<QPushButton*> buttons_;
};

}  // namespace norvalis::crash
