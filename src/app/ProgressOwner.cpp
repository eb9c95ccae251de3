#include "app/ProgressOwner.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include <QProgressBar>

namespace norvalis {

namespace {

constexpr int LoadSteps = 1000;

}  // namespace

TProgressOwner::TProgressOwner(QProgressBar* bar, TDocument* document, QObject* parent)
    : QObject(parent), bar_(bar) {
  delayTimer_.setSingleShot(true);
  connect(&delayTimer_, &QTimer::timeout, this, &TProgressOwner::ShowLoad);
  connect(document, &TDocument::started, this, &TProgressOwner::OnStarted);
  connect(document, &TDocument::progress, this, &TProgressOwner::OnProgress);
  connect(document, &TDocument::ended, this, &TProgressOwner::OnEnded);
}

void TProgressOwner::OnStarted(TDocument::Request request, TDocument::Task task) {
  // The bar of a replaced operation goes; the cursor stays busy.
  if (bar_) bar_->hide();
  running_ = request;
  task_ = task;
  rowsShown_ = false;
  if (!cursor_) cursor_.emplace();
  delayTimer_.stop();
  if (task != TDocument::Task::Load) return;
  loadClock_.start();
  loadDone_ = 0;
  loadTotal_ = 0;
  delayTimer_.start(Delay);
}

void TProgressOwner::OnProgress(TDocument::Task task, qint64 done, qint64 total) {
  if (running_ == 0 || task != task_) return;
  if (task != TDocument::Task::Load) {
    ShowRows(task, done, total);
    return;
  }
  loadDone_ = done;
  loadTotal_ = total;
  if ((bar_ && !bar_->isHidden()) || loadClock_.elapsed() >= Delay.count()) ShowLoad();
}

void TProgressOwner::ShowLoad() {
  if (running_ == 0 || task_ != TDocument::Task::Load || !bar_) return;
  if (loadTotal_ > 0) {
    bar_->setRange(0, LoadSteps);
    const qint64 done = std::clamp<qint64>(loadDone_, 0, loadTotal_);
    bar_->setValue(static_cast<int>(done * LoadSteps / loadTotal_));
  } else {
    bar_->setRange(0, 0);  // nothing measured yet: a busy bar
  }
  bar_->show();
}

// Maximum and position in rows; scaled down only beyond the bar's int range.
void TProgressOwner::ShowRows(TDocument::Task task, qint64 done, qint64 total) {
  const bool first = !rowsShown_;
  rowsShown_ = true;
  if (bar_) {
    const auto rows = static_cast<std::uint64_t>(std::max<qint64>(total, 0));
    const std::uint64_t scale = rows / INT_MAX + 1;
    const auto position = std::min(static_cast<std::uint64_t>(std::max<qint64>(done, 0)), rows);
    bar_->setRange(0, static_cast<int>(rows / scale));
    bar_->setValue(static_cast<int>(position / scale));
    bar_->show();
  }
  // A search and the views of the table share the check's bar but are no check.
  const bool noCheck = task == TDocument::Task::Find || task == TDocument::Task::Differences ||
                       task == TDocument::Task::Values || task == TDocument::Task::Filter ||
                       task == TDocument::Task::SaveRows;
  if (first && !noCheck) emit checkShown();
}

void TProgressOwner::OnEnded(TDocument::Request request) {
  // An operation that a handler of the last answer started is still running.
  if (request != running_) return;
  const bool wasLoad = task_ == TDocument::Task::Load;
  running_ = 0;
  delayTimer_.stop();
  if (bar_) {
    bar_->hide();
    if (wasLoad) bar_->reset();
  }
  cursor_.reset();
}

}  // namespace norvalis
