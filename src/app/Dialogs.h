#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace norvalis {

// A common file dialog as the window describes it: filter in the "description|pattern|..."
// form, default extension without the dot, and the file name chosen last.
class TFileDialog {
 public:
  enum class Kind { Open, Save };

  TFileDialog(Kind kind, QString filter, QString defaultExt, bool overwritePrompt = false);

  Kind DialogKind() const { return kind_; }
  const QString& Filter() const { return filter_; }
  const QString& DefaultExt() const { return defaultExt_; }
  // Whether saving over an existing file is asked about first.
  bool OverwritePrompt() const { return overwritePrompt_; }

  // The file chosen by the last confirmed Execute (also the dialog's initial selection).
  QString FileName;

  // Shows the dialog modally; true when the user confirmed a file (then in FileName).
  bool Execute(QWidget* parent);

 private:
  Kind kind_;
  QString filter_;
  QString defaultExt_;
  bool overwritePrompt_;
};

// The filter as the toolkit's file dialog takes it, one entry per description. "*.*" means
// every file, and letter patterns match either case, since Linux file names are
// case-sensitive.
QStringList ToNameFilters(const QString& filter);

// Every modal dialog and message box of the program goes through the installed instance, so
// tests can answer them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A warning box titled "警告" with a single OK button.
  virtual void Warning(QWidget* parent, const QString& text) = 0;
  // A question box titled "確認" with Yes and No; true for Yes.
  virtual bool Question(QWidget* parent, const QString& text) = 0;
  // A critical box with one OK button, for exceptions.
  virtual void Critical(QWidget* parent, const QString& title, const QString& text) = 0;
  // A file dialog; the chosen file, or nothing when cancelled.
  virtual std::optional<QString> ExecuteFileDialog(QWidget* parent, const TFileDialog& dialog) = 0;
  // Shows a dialog of the program modally; its modal result (QDialog::Accepted for OK).
  virtual int Exec(QDialog& dialog) = 0;

  // The installed instance (the toolkit's dialogs unless a test installed another).
  static Dialogs& Current();
  // Installs an instance (null: the toolkit's dialogs again); returns the previous one.
  static Dialogs* Install(Dialogs* dialogs);
};

// The toolkit's message boxes and file dialogs.
class QtDialogs : public Dialogs {
 public:
  void Warning(QWidget* parent, const QString& text) override;
  bool Question(QWidget* parent, const QString& text) override;
  void Critical(QWidget* parent, const QString& title, const QString& text) override;
  std::optional<QString> ExecuteFileDialog(QWidget* parent, const TFileDialog& dialog) override;
  int Exec(QDialog& dialog) override;
};

// The title of the warning box.
inline const QString WarningTitle = QStringLiteral("警告");
// The title of the question box.
inline const QString QuestionTitle = QStringLiteral("確認");

}  // namespace norvalis
