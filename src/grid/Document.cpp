#include "grid/Document.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <utility>

#include <QMetaObject>

#include "grid/Worker.h"
#include "text/YieldHook.h"

namespace norvalis {

// One operation. The worker writes `result` (and a load's `csv`); the GUI thread joins it
// before it reads them or lets go of the job.
struct TDocument::Job {
  Task task = Task::Load;
  Request request = 0;
  // The work itself, run on the worker with its progress hook and cancel flag.
  std::function<Result(Job&, YieldHook&)> work;
  std::atomic<bool> cancel{false};
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};
  std::atomic<bool> progressPosted{false};
  Result result;
  std::exception_ptr error;
  // A load's file and the table it reads into.
  UnicodeString fileName;
  std::uint16_t codePage = 0;
  TCsv csv;
  // Last, so it is joined before anything it writes goes.
  TWorker worker;
};

TDocument::TDocument(QObject* parent) : QObject(parent) {}

TDocument::~TDocument() {
  // The workers write into their jobs; they must have stopped before the jobs go.
  if (current_) {
    current_->cancel = true;
    current_->worker.Join();
  }
  for (const std::shared_ptr<Job>& job : replaced_)
    job->worker.Join();
}

void TDocument::Replace() {
  if (!current_) return;
  current_->cancel = true;
  const Request request = current_->request;
  replaced_.push_back(std::move(current_));
  current_.reset();
  emit ended(request);
}

TDocument::Request TDocument::Start(std::shared_ptr<Job> job) {
  Replace();
  job->request = ++requests_;
  const Request request = job->request;
  const Task task = job->task;
  Job* raw = job.get();
  current_ = job;
  raw->worker.Run(
      [this, raw] {
        YieldHook hook([this, raw](std::uint64_t done, std::uint64_t total) {
          raw->done = done;
          raw->total = total;
          PostProgress(*raw);
        });
        try {
          raw->result = raw->work(*raw, hook);
        } catch (...) {
          raw->error = std::current_exception();
        }
      },
      this, [this, request] { Finish(request); });
  emit started(request, task);
  return request;
}

// At most one report is on its way at a time, so a fast worker cannot flood the queue.
void TDocument::PostProgress(Job& job) {
  if (job.progressPosted.exchange(true)) return;
  const Request request = job.request;
  QMetaObject::invokeMethod(
      this,
      [this, request] {
        if (!current_ || current_->request != request) return;
        current_->progressPosted = false;
        emit progress(current_->task, static_cast<qint64>(current_->done.load()),
                      static_cast<qint64>(current_->total.load()));
      },
      Qt::QueuedConnection);
}

void TDocument::Finish(Request request) {
  if (!current_ || current_->request != request) {
    // A replaced request: its answer is dropped here, and only here.
    const auto gone = std::find_if(replaced_.begin(), replaced_.end(),
                                   [request](const auto& job) { return job->request == request; });
    if (gone != replaced_.end()) {
      (*gone)->worker.Join();
      replaced_.erase(gone);
    }
    return;
  }
  const std::shared_ptr<Job> job = std::move(current_);
  current_.reset();
  job->worker.Join();
  if (job->error) {
    if (job->task == Task::Load) {
      core_.Clear();
      emit tableChanged();
    }
    emit ended(request);
    std::rethrow_exception(job->error);
  }
  Result result = std::move(job->result);
  if (job->task == Task::Load) {
    auto& loaded = std::get<CsvLoadResult>(result);
    if (job->cancel) loaded = {CsvLoadError::Cancelled, {}};
    core_.Take(job->fileName, job->codePage, job->csv, loaded);
    emit tableChanged();
  } else if (job->cancel) {
    result = Cancelled{};
  } else if (const auto* check = std::get_if<CheckResult>(&result)) {
    // The bar ends where the run ended: all compared rows, or up to the difference.
    if (check->outcome != CheckResult::Outcome::NoRows) {
      emit progress(job->task, static_cast<qint64>(check->compared),
                    static_cast<qint64>(check->toCompare));
    }
  }
  // Ended also when a handler of the answer throws: the bar and the cursor go back.
  struct EndOnExit {
    TDocument* document;
    Request request;
    ~EndOnExit() { emit document->ended(request); }
  } end{this, request};
  emit finished(request, result);
}

TDocument::Request TDocument::StartWork(Task task, Work work) {
  auto job = std::make_shared<Job>();
  job->task = task;
  job->work = [work = std::move(work)](Job& self, YieldHook& hook) -> Result {
    return work(hook, self.cancel);
  };
  return Start(std::move(job));
}

std::optional<TDocument::Task> TDocument::Running() const {
  if (!current_) return std::nullopt;
  return current_->task;
}

void TDocument::Cancel() {
  if (current_) current_->cancel = true;
}

TDocument::Request TDocument::Clear() {
  Replace();
  core_.Clear();
  emit tableChanged();
  return ++requests_;
}

TDocument::Request TDocument::StartLoad(const UnicodeString& fileName, std::uint16_t codePage) {
  auto job = std::make_shared<Job>();
  job->task = Task::Load;
  job->fileName = fileName;
  job->codePage = codePage;
  job->work = [](Job& self, YieldHook& hook) -> Result {
    return CsvDocument::Read(self.csv, self.fileName, self.codePage, hook, &self.cancel);
  };
  // Before the load, so a repaint meanwhile finds an empty table.
  Replace();
  core_.Clear();
  return Start(std::move(job));
}

TDocument::Request TDocument::StartCheck(bool firstLineIsTitle, std::int64_t column) {
  auto job = std::make_shared<Job>();
  job->task = Task::Check;
  // Held for the run: a load meanwhile does not change what is checked.
  const std::shared_ptr<const CsvTable> table = Table();
  job->work = [table, firstLineIsTitle, column](Job& self, YieldHook& hook) -> Result {
    return CheckColumn(table ? *table : CsvTable::Empty(), firstLineIsTitle, column, &hook,
                       &self.cancel);
  };
  const Request request = Start(std::move(job));
  // The bar shows from the start, before the worker's first report.
  const CheckRows rows = CheckRowsOf(table ? table->RowCount() : 0, firstLineIsTitle);
  if (rows.HasReference()) emit progress(Task::Check, 0, static_cast<qint64>(rows.ToCompare()));
  return request;
}

TDocument::Request TDocument::StartCheckAll(bool firstLineIsTitle) {
  auto job = std::make_shared<Job>();
  job->task = Task::CheckAll;
  const std::shared_ptr<const CsvTable> table = Table();
  job->work = [table, firstLineIsTitle](Job& self, YieldHook& hook) -> Result {
    return CheckAllColumns(table ? *table : CsvTable::Empty(), firstLineIsTitle, &hook,
                           &self.cancel);
  };
  const Request request = Start(std::move(job));
  const CheckRows rows = CheckRowsOf(table ? table->RowCount() : 0, firstLineIsTitle);
  if (rows.HasReference()) {
    emit progress(Task::CheckAll, 0, static_cast<qint64>(rows.ToCompare()));
  }
  return request;
}

TDocument::Request TDocument::StartFind(const CellSearchRequest& request) {
  auto job = std::make_shared<Job>();
  job->task = Task::Find;
  const std::shared_ptr<const CsvTable> table = Table();
  job->work = [table, request](Job& self, YieldHook& hook) -> Result {
    if (!table) return CellSearchResult{};
    return SearchCells(*table, request, &hook, &self.cancel);
  };
  const TDocument::Request started = Start(std::move(job));
  // The bar shows from the start: the rows after the title, and the start row once more.
  if (table && !request.text.empty() && table->ColCount() > 0 &&
      request.firstRow < table->RowCount()) {
    emit progress(Task::Find, 0, static_cast<qint64>(table->RowCount() - request.firstRow) + 1);
  }
  return started;
}

TDocument::Request TDocument::StartRules(bool firstLineIsTitle, std::vector<ColumnRule> rules) {
  auto job = std::make_shared<Job>();
  job->task = Task::Rules;
  const std::shared_ptr<const CsvTable> table = Table();
  job->work = [table, firstLineIsTitle, rules = std::move(rules)](Job& self,
                                                                  YieldHook& hook) -> Result {
    return std::make_shared<const RuleCheckResult>(CheckRules(
        table ? *table : CsvTable::Empty(), firstLineIsTitle, rules, &hook, &self.cancel));
  };
  const Request request = Start(std::move(job));
  EmitRowsToCheck(Task::Rules, table, firstLineIsTitle);
  return request;
}

TDocument::Request TDocument::StartCharacters(bool firstLineIsTitle, unsigned kinds) {
  auto job = std::make_shared<Job>();
  job->task = Task::Characters;
  const std::shared_ptr<const CsvTable> table = Table();
  job->work = [table, firstLineIsTitle, kinds](Job& self, YieldHook& hook) -> Result {
    return std::make_shared<const CharacterCheckResult>(CheckCharacters(
        table ? *table : CsvTable::Empty(), firstLineIsTitle, kinds, &hook, &self.cancel));
  };
  const Request request = Start(std::move(job));
  EmitRowsToCheck(Task::Characters, table, firstLineIsTitle);
  return request;
}

// The bar shows from the start, before the worker's first report: the data rows.
void TDocument::EmitRowsToCheck(Task task, const std::shared_ptr<const CsvTable>& table,
                                bool firstLineIsTitle) {
  const std::uint32_t rows = table ? table->RowCount() : 0;
  const std::uint32_t first = firstLineIsTitle ? 1 : 0;
  if (rows > first) emit progress(task, 0, static_cast<qint64>(rows - first));
}

}  // namespace norvalis
