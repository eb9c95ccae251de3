#include "app/CursorHourGlass.h"

#include <QCursor>
#include <QGuiApplication>

namespace norvalis {

// The override stack keeps the cursor each guard found, so restoring pops back to it.
TCursorHourGlass::TCursorHourGlass() {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

TCursorHourGlass::~TCursorHourGlass() {
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace norvalis
