// Renders the main window with a CSV file loaded, the title box ticked and a chosen column
// current, and saves it as a PNG: norvalis-screenshot CSV PNG [COLUMN [find:TEXT | all-columns |
// help]] With find:TEXT the find bar is open and TEXT found; with all-columns the PNG shows the
// result window of checking every column; with values the list of the column's values; with
// filtered the grid showing only the rows whose cell holds the value of the first data row. With
// rules RULE… the result window of those rules, with rules-dialog RULE… the rules dialog on
// them, with kinds-dialog the dialog of the character kinds, with characters the result window of
// the character check, with marks the grid showing blanks and control characters.
#include <cstdio>
#include <utility>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPixmap>

#include "app/AllColumnsWindow.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/FindingsWindow.h"
#include "app/FindBar.h"
#include "app/FormMain.h"
#include "app/HelpWindow.h"
#include "app/ValuesWindow.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace {

// Shows a dialog of the program for the picture instead of running it.
class GrabbingDialogs : public norvalis::QtDialogs {
 public:
  explicit GrabbingDialogs(QString png) : png_(std::move(png)) {}
  int Exec(QDialog& dialog) override {
    dialog.show();
    for (int i = 0; i < 20; ++i)
      QCoreApplication::processEvents();
    grabbed = dialog.grab().save(png_);
    return QDialog::Rejected;
  }
  bool grabbed = false;

 private:
  QString png_;
};

}  // namespace

int main(int argc, char** argv) {
  norvalis::Application app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: norvalis-screenshot CSV PNG [COLUMN]\n");
    return 2;
  }
  app.LoadJapaneseTranslations();
  norvalis::TFormMain form;
  form.show();
  form.OpenCsvFile(args[1].toStdU16String());
  QDeadlineTimer deadline(10000);
  while (form.Document().IsLoading() && !deadline.hasExpired())
    QCoreApplication::processEvents();
  // The window keeps its controls private; they carry their names.
  const auto action = [&form](const char* name) {
    return form.findChild<QAction*>(QString::fromLatin1(name));
  };
  form.findChild<QCheckBox*>(QStringLiteral("CheckBoxFirstLineIsTitle"))->click();
  auto* grid = form.findChild<norvalis::TGridCsv*>(QStringLiteral("Grid"));
  grid->SetCol(args.size() > 3 ? args[3].toInt() : 3);
  grid->setFocus();
  const QString mode = args.size() > 4 ? args[4] : QString();
  QWidget* shown = &form;
  if (mode.startsWith(QStringLiteral("find:"))) {
    action("ActionEditFind")->trigger();
    form.findChild<QLineEdit*>(QStringLiteral("EditFindText"))->setText(mode.mid(5));
    action("ActionEditFindNext")->trigger();
    while (form.Document().IsBusy() && !deadline.hasExpired())
      QCoreApplication::processEvents();
  } else if (mode == QStringLiteral("help")) {
    action("ActionHelpHelp")->trigger();
    if (app.Help() != nullptr) shown = app.Help();
  } else if (mode == QStringLiteral("all-columns")) {
    action("ActionCsvCheckAll")->trigger();
    while (form.Document().IsBusy() && !deadline.hasExpired())
      QCoreApplication::processEvents();
    auto* window = form.findChild<norvalis::TAllColumnsWindow*>(QStringLiteral("AllColumnsWindow"));
    if (window != nullptr) shown = window;
  } else if (mode == QStringLiteral("values") || mode == QStringLiteral("filtered")) {
    action(mode == QStringLiteral("values") ? "ActionViewValues" : "ActionViewRowsWithValue")
        ->trigger();
    while (form.Document().IsBusy() && !deadline.hasExpired())
      QCoreApplication::processEvents();
    auto* window = form.findChild<norvalis::TValuesWindow*>(QStringLiteral("ValuesWindow"));
    if (window != nullptr) shown = window;
    // Wide enough for the bar and a few columns of rows.
    if (mode == QStringLiteral("filtered")) form.resize(760, 440);
    grid->FitAllColumns();
  } else if (mode == QStringLiteral("rules") || mode.endsWith(QStringLiteral("-dialog"))) {
    for (const QString& rule : args.mid(5))
      form.Session().Project.Rules.push_back(rule.toStdU16String());
    if (mode.endsWith(QStringLiteral("-dialog"))) {
      GrabbingDialogs dialogs(args[2]);
      norvalis::Dialogs* previous = norvalis::Dialogs::Install(&dialogs);
      action(mode == QStringLiteral("rules-dialog") ? "ActionCsvRules" : "ActionCsvCharacterKinds")
          ->trigger();
      norvalis::Dialogs::Install(previous);
      return dialogs.grabbed ? 0 : 1;
    }
    form.findChild<QComboBox*>(QStringLiteral("ComboBoxTask"))->setCurrentIndex(1);
  } else if (mode == QStringLiteral("characters")) {
    form.findChild<QComboBox*>(QStringLiteral("ComboBoxTask"))->setCurrentIndex(2);
  } else if (mode == QStringLiteral("marks")) {
    action("ActionViewSpecialCharacters")->setChecked(true);
    form.resize(760, 300);
    grid->FitAllColumns();
  }
  if (mode == QStringLiteral("rules") || mode == QStringLiteral("characters")) {
    action("ActionCsvCheck")->trigger();
    while (form.Document().IsBusy() && !deadline.hasExpired())
      QCoreApplication::processEvents();
    const char* name =
        mode == QStringLiteral("rules") ? "RuleFindingsWindow" : "CharacterFindingsWindow";
    if (auto* window = form.findChild<norvalis::TFindingsWindow*>(QString::fromLatin1(name)))
      shown = window;
  }
  for (int i = 0; i < 20; ++i)
    QCoreApplication::processEvents();
  if (!shown->grab().save(args[2])) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(args[2]));
    return 1;
  }
  return 0;
}
