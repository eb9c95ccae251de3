#include "app/EscapeCancels.h"

#include <utility>

#include <QCoreApplication>
#include <QKeyEvent>

namespace norvalis {

TEscapeCancels::TEscapeCancels(std::function<void()> cancel) : cancel_(std::move(cancel)) {
  QCoreApplication::instance()->installEventFilter(this);
}

TEscapeCancels::~TEscapeCancels() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool TEscapeCancels::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    cancel_();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace norvalis
