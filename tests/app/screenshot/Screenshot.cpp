// Renders the main window with a CSV file loaded, the title box ticked and a chosen column
// current, and saves it as a PNG: norvalis-screenshot CSV PNG [COLUMN [find:TEXT | all-columns |
// help]] With find:TEXT the find bar is open and TEXT found; with all-columns the PNG shows the
// result window of checking every column.
#include <cstdio>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPixmap>

#include "app/AllColumnsWindow.h"
#include "app/Application.h"
#include "app/FindBar.h"
#include "app/FormMain.h"
#include "app/HelpWindow.h"

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
  while (form.Grid->IsLoading() && !deadline.hasExpired())
    QCoreApplication::processEvents();
  form.CheckBoxFirstLineIsTitle->click();
  form.Grid->SetCol(args.size() > 3 ? args[3].toInt() : 3);
  form.Grid->setFocus();
  const QString mode = args.size() > 4 ? args[4] : QString();
  QWidget* shown = &form;
  if (mode.startsWith(QStringLiteral("find:"))) {
    form.ActionEditFind->trigger();
    form.FindBar->EditFindText->setText(mode.mid(5));
    form.ActionEditFindNext->trigger();
  } else if (mode == QStringLiteral("help")) {
    form.ActionHelpHelp->trigger();
    if (app.Help() != nullptr) shown = app.Help();
  } else if (mode == QStringLiteral("all-columns")) {
    form.ActionCsvCheckAll->trigger();
    if (form.AllColumnsWindow != nullptr) shown = form.AllColumnsWindow;
  }
  for (int i = 0; i < 20; ++i)
    QCoreApplication::processEvents();
  if (!shown->grab().save(args[2])) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(args[2]));
    return 1;
  }
  return 0;
}
