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

// The one owner of the window's progress bar, fed by the document's progress. A load shows
// the bar once it has run Delay (in thousandths, or busy while nothing is measured) and keeps
// the busy cursor; a check shows it at its first report, in rows, until its run ends.
class TProgressOwner : public QObject {
  Q_OBJECT

 public:
  TProgressOwner(QProgressBar* bar, TDocument* document, QObject* parent);

  // How long a load runs before the bar shows it.
  std::chrono::milliseconds Delay{500};

  // One run of the check: the bar follows the check's reports until the run goes, and is
  // hidden then on every way out.
  class CheckRun {
   public:
    explicit CheckRun(TProgressOwner& owner);
    ~CheckRun();
    CheckRun(const CheckRun&) = delete;
    CheckRun& operator=(const CheckRun&) = delete;

   private:
    QPointer<TProgressOwner> owner_;
  };

 signals:
  // A check's first report put the bar up.
  void checkShown();

 private:
  void OnLoadStarted();
  void OnProgress(TDocument::Task task, qint64 done, qint64 total);
  void OnLoadFinished();
  void ShowLoad();
  void ShowCheck(qint64 done, qint64 total);
  void Hide();

  QPointer<QProgressBar> bar_;
  bool loading_ = false;
  bool checking_ = false;
  bool checkShown_ = false;
  std::optional<TCursorHourGlass> loadCursor_;
  QElapsedTimer loadClock_;
  QTimer delayTimer_;
  qint64 loadDone_ = 0;
  qint64 loadTotal_ = 0;
};

}  // namespace norvalis
