// Renders the main window with a CSV file loaded, the title box ticked and a chosen column
// current, and saves it as a PNG: norvalis-screenshot CSV PNG [COLUMN]
#include <cstdio>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPixmap>

#include "app/Application.h"
#include "app/FormMain.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

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
  form.findChild<QCheckBox*>(QStringLiteral("CheckBoxFirstLineIsTitle"))->click();
  auto* grid = form.findChild<norvalis::TGridCsv*>(QStringLiteral("Grid"));
  grid->SetCol(args.size() > 3 ? args[3].toInt() : 3);
  grid->setFocus();
  for (int i = 0; i < 20; ++i)
    QCoreApplication::processEvents();
  if (!form.grab().save(args[2])) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(args[2]));
    return 1;
  }
  return 0;
}
