#include "grid/Document.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

#include "grid/Worker.h"

namespace norvalis {

namespace {

// Runs a nested event loop. Opened from inside a posted event's handler, a loop would
// otherwise sleep on events already queued (the glib dispatcher only looks at the queue
// again after a wake-up), so it starts with one.
void RunNestedLoop(QEventLoop& loop) {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    dispatcher->wakeUp();
  }
  loop.exec();
}

CsvLoadResult CancelledResult() {
  return {CsvLoadError::Cancelled, {}};
}

}  // namespace

// One load. The worker reads into `csv` and `result`; the GUI thread joins it before it
// looks at them or lets go of the job.
struct TDocument::LoadJob {
  UnicodeString fileName;
  std::uint16_t codePage = 0;
  TCsv csv;
  CsvLoadResult result;
  std::atomic<bool> cancel{false};
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};
  std::atomic<bool> progressPosted{false};
  // GUI thread only:
  QEventLoop* loop = nullptr;
  bool completed = false;
  // Last, so it is joined before anything it writes goes.
  TWorker worker;
};

TDocument::TDocument(QObject* parent) : QObject(parent) {}

TDocument::~TDocument() {
  if (job_) {
    // The worker writes into the job; it must have stopped before anything goes.
    job_->cancel = true;
    job_->worker.Join();
    if (job_->loop) job_->loop->quit();
    job_.reset();
  }
  WakeWaiters();
}

CsvLoadResult TDocument::LoadFromFile(const UnicodeString& fileName, std::uint16_t codePage) {
  const UnicodeString name = fileName;  // the caller's text may change while we wait
  if (!WaitForTurn()) return CancelledResult();
  QPointer<TDocument> self(this);

  // Before the load, so a repaint meanwhile finds an empty table.
  core_.Clear();

  auto job = std::make_shared<LoadJob>();
  job->fileName = name;
  job->codePage = codePage;
  QEventLoop loop;
  job->loop = &loop;
  LoadJob* raw = job.get();
  const std::weak_ptr<LoadJob> weak = job;
  YieldHook report([this, raw, weak](std::uint64_t done, std::uint64_t total) {
    raw->done = done;
    raw->total = total;
    if (!raw->progressPosted.exchange(true)) {
      QMetaObject::invokeMethod(
          this,
          [this, weak] {
            if (auto current = weak.lock()) ShowProgress(current);
          },
          Qt::QueuedConnection);
    }
  });
  job_ = job;
  try {
    raw->worker.Run(
        [raw, report = std::move(report)] {
          raw->result =
              CsvDocument::Read(raw->csv, raw->fileName, raw->codePage, report, &raw->cancel);
        },
        this,
        [this, weak] {
          if (auto finished = weak.lock()) FinishLoad(finished);
        });
  } catch (...) {
    job_.reset();
    job->loop = nullptr;
    emit tableChanged();
    WakeWaiters();
    throw;
  }

  emit loadStarted();
  if (!self) return CancelledResult();
  if (!job->completed) RunNestedLoop(loop);
  if (!self) return CancelledResult();  // destroyed meanwhile; the destructor stopped the worker
  job->loop = nullptr;
  if (!job->completed) {
    // The event loops were told to end (the application quits): stop and finish here.
    job->cancel = true;
    FinishLoad(job);
  }
  return job->result;
}

bool TDocument::WaitForTurn() {
  const std::uint64_t request = ++lastRequest_;
  if (!job_) return true;
  job_->cancel = true;  // its result would be replaced at once
  QPointer<TDocument> self(this);
  while (job_) {
    QEventLoop loop;
    waiters_.push_back(&loop);
    RunNestedLoop(loop);
    if (!self) return false;
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &loop));
    if (job_) {
      // The loop ended with the load still running: the event loops were told to end (the
      // application quits), so waiting would spin. Stop the load and finish it here.
      job_->cancel = true;
      FinishLoad(job_);
    }
  }
  return request == lastRequest_;
}

void TDocument::WakeWaiters() {
  for (QEventLoop* loop : waiters_)
    loop->quit();
}

void TDocument::ShowProgress(const std::shared_ptr<LoadJob>& job) {
  if (job != job_) return;
  job->progressPosted = false;
  emit progress(Task::Load, static_cast<qint64>(job->done.load()),
                static_cast<qint64>(job->total.load()));
}

void TDocument::FinishLoad(std::shared_ptr<LoadJob> job) {
  if (!job || job != job_ || job->completed) return;
  job->worker.Join();
  job->completed = true;
  if (job->cancel) job->result = CancelledResult();
  const auto endLoad = [this, &job] {
    job_.reset();
    if (job->loop) job->loop->quit();
    WakeWaiters();
  };
  try {
    core_.Take(job->fileName, job->codePage, job->csv, job->result);
    emit tableChanged();
  } catch (...) {
    endLoad();
    emit loadFinished(job->result);
    throw;
  }
  endLoad();
  emit loadFinished(job->result);
}

void TDocument::CancelLoad() {
  if (job_) job_->cancel = true;
}

void TDocument::Clear() {
  if (!WaitForTurn()) return;
  core_.Clear();
  emit tableChanged();
}

YieldHook TDocument::CheckProgressHook() {
  return YieldHook([this](std::uint64_t done, std::uint64_t total) {
    emit progress(Task::Check, static_cast<qint64>(done), static_cast<qint64>(total));
    QCoreApplication::processEvents();
  });
}

CheckResult TDocument::Check(bool firstLineIsTitle, std::int64_t column) {
  YieldHook hook = CheckProgressHook();
  // Held for the run: a load that events start meanwhile does not change what is checked.
  const std::shared_ptr<const CsvTable> table = core_.Table();
  const CheckResult result =
      CheckColumn(table ? *table : CsvTable::Empty(), firstLineIsTitle, column, &hook);
  if (result.outcome != CheckResult::Outcome::NoRows) {
    emit progress(Task::Check, static_cast<qint64>(result.compared),
                  static_cast<qint64>(result.toCompare));
  }
  return result;
}

}  // namespace norvalis
