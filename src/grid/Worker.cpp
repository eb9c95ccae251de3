#include "grid/Worker.h"

#include <utility>

#include <QMetaObject>
#include <QObject>

namespace norvalis {

void TWorker::Run(std::function<void()> work, QObject* context, std::function<void()> then) {
  thread_ = std::thread([work = std::move(work), context, then = std::move(then)] {
    work();
    // The owner joins before the context goes, so the context is alive here; Qt drops the
    // queued call if it goes before delivery.
    QMetaObject::invokeMethod(context, then, Qt::QueuedConnection);
  });
}

void TWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace norvalis
