#pragma once

#include <chrono>
#include <optional>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "app/CursorHourGlass.h"
#include "grid/Document.h"

class QProgressBar;

namespace norvalis {

// The one owner of the window's progress bar, fed by the document's operations, and of the
// busy cursor they show. A load shows the bar once it has run Delay (in thousandths, or busy
// while nothing is measured); a check or a search shows it at its first report, in rows. The
// bar goes when the operation has ended, after its answer was handled.
class TProgressOwner : public QObject {
  Q_OBJECT

 public:
  TProgressOwner(QProgressBar* bar, TDocument* document, QObject* parent);

  // How long a load runs before the bar shows it.
  std::chrono::milliseconds Delay{500};

 signals:
  // A check's first report put the bar up.
  void checkShown();

 private:
  void OnStarted(TDocument::Request request, TDocument::Task task);
  void OnProgress(TDocument::Task task, qint64 done, qint64 total);
  void OnEnded(TDocument::Request request);
  void ShowLoad();
  void ShowRows(TDocument::Task task, qint64 done, qint64 total);

  QPointer<QProgressBar> bar_;
  TDocument::Request running_ = 0;
  TDocument::Task task_ = TDocument::Task::Load;
  bool rowsShown_ = false;
  std::optional<TCursorHourGlass> cursor_;
  QElapsedTimer loadClock_;
  QTimer delayTimer_;
  qint64 loadDone_ = 0;
  qint64 loadTotal_ = 0;
};

}  // namespace norvalis
