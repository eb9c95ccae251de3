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
  connect(document, &TDocument::loadStarted, this, &TProgressOwner::OnLoadStarted);
  connect(document, &TDocument::progress, this, &TProgressOwner::OnProgress);
  connect(document, &TDocument::loadFinished, this, &TProgressOwner::OnLoadFinished);
}

TProgressOwner::CheckRun::CheckRun(TProgressOwner& owner) : owner_(&owner) {
  owner.checking_ = true;
  owner.checkShown_ = false;
}

TProgressOwner::CheckRun::~CheckRun() {
  if (!owner_) return;
  owner_->checking_ = false;
  if (owner_->checkShown_) owner_->Hide();
}

void TProgressOwner::OnLoadStarted() {
  loading_ = true;
  if (!loadCursor_) loadCursor_.emplace();
  loadClock_.start();
  loadDone_ = 0;
  loadTotal_ = 0;
  delayTimer_.start(Delay);
}

void TProgressOwner::OnProgress(TDocument::Task task, qint64 done, qint64 total) {
  if (task == TDocument::Task::Check) {
    if (checking_) ShowCheck(done, total);
    return;
  }
  if (!loading_) return;
  loadDone_ = done;
  loadTotal_ = total;
  if ((bar_ && !bar_->isHidden()) || loadClock_.elapsed() >= Delay.count()) ShowLoad();
}

void TProgressOwner::ShowLoad() {
  if (!loading_ || !bar_) return;
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
void TProgressOwner::ShowCheck(qint64 done, qint64 total) {
  const bool first = !checkShown_;
  checkShown_ = true;
  if (bar_) {
    const auto rows = static_cast<std::uint64_t>(std::max<qint64>(total, 0));
    const std::uint64_t scale = rows / INT_MAX + 1;
    const auto position = std::min(static_cast<std::uint64_t>(std::max<qint64>(done, 0)), rows);
    bar_->setRange(0, static_cast<int>(rows / scale));
    bar_->setValue(static_cast<int>(position / scale));
    bar_->show();
  }
  if (first) emit checkShown();
}

void TProgressOwner::OnLoadFinished() {
  loading_ = false;
  delayTimer_.stop();
  Hide();
  if (bar_) bar_->reset();
  loadCursor_.reset();
}

void TProgressOwner::Hide() {
  if (bar_) bar_->hide();
}

}  // namespace norvalis
