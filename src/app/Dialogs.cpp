#include "app/Dialogs.h"

#include <utility>

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace norvalis {

namespace {

Dialogs* installed = nullptr;

QtDialogs& QtInstance() {
  static QtDialogs dialogs;
  return dialogs;
}

// "*.CSV" gives "*.CSV *.csv"; "*.*" gives "*".
QStringList LinuxPatterns(const QString& pattern) {
  QStringList result;
  for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString trimmed = part.trimmed();
    if (trimmed == QStringLiteral("*.*")) {
      result << QStringLiteral("*");
      continue;
    }
    for (const QString& variant : {trimmed, trimmed.toUpper(), trimmed.toLower()}) {
      if (!result.contains(variant)) result << variant;
    }
  }
  return result;
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

TFileDialog::TFileDialog(Kind kind, QString filter, QString defaultExt, bool overwritePrompt)
    : kind_(kind),
      filter_(std::move(filter)),
      defaultExt_(std::move(defaultExt)),
      overwritePrompt_(overwritePrompt) {}

bool TFileDialog::Execute(QWidget* parent) {
  std::optional<QString> chosen = Dialogs::Current().ExecuteFileDialog(parent, *this);
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

QStringList ToNameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const QString pattern = parts[i + 1];
    const QString patterns = LinuxPatterns(pattern).join(QLatin1Char(' '));
    // The description names its pattern in parentheses; name the Linux patterns there.
    const QString named = QLatin1Char('(') + pattern + QLatin1Char(')');
    if (description.endsWith(named)) {
      description.chop(named.size());
      result << description + QLatin1Char('(') + patterns + QLatin1Char(')');
    } else {
      result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
  }
  return result;
}

Dialogs& Dialogs::Current() {
  return installed != nullptr ? *installed : QtInstance();
}

Dialogs* Dialogs::Install(Dialogs* dialogs) {
  return std::exchange(installed, dialogs);
}

void QtDialogs::Warning(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Warning, WarningTitle, text);
}

bool QtDialogs::Question(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QuestionTitle, text, QMessageBox::Yes | QMessageBox::No,
                  parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtDialogs::Critical(QWidget* parent, const QString& title, const QString& text) {
  ShowBox(parent, QMessageBox::Critical, title, text);
}

std::optional<QString> QtDialogs::ExecuteFileDialog(QWidget* parent, const TFileDialog& dialog) {
  const bool save = dialog.DialogKind() == TFileDialog::Kind::Save;
  QFileDialog fileDialog(parent);
  fileDialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // The open dialogs take a name that does not exist, too: the caller reports it.
  fileDialog.setFileMode(QFileDialog::AnyFile);
  fileDialog.setNameFilters(ToNameFilters(dialog.Filter()));
  fileDialog.setDefaultSuffix(dialog.DefaultExt());
  fileDialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && dialog.OverwritePrompt()));
  if (!dialog.FileName.isEmpty()) fileDialog.selectFile(dialog.FileName);
  if (fileDialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = fileDialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(files.first());
}

int QtDialogs::Exec(QDialog& dialog) {
  return dialog.exec();
}

}  // namespace norvalis
