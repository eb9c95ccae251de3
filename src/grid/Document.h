#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QtGlobal>

#include "check/ColumnCheck.h"
#include "csv/CsvDocument.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

class QEventLoop;

namespace norvalis {

// The window's CSV document: the Qt owner of a CsvDocument. It loads on a worker while the
// GUI thread goes on processing events, runs the check, and is the one source of progress for
// both, so the progress bar has one owner.
//
// A load or a clear asked for while a load runs is queued: the running load is cancelled and,
// of the requests that came meanwhile, only the latest runs (each call returns once its turn
// has passed). Destroying the document cancels a running load and waits for its worker.
class TDocument : public QObject {
  Q_OBJECT

 public:
  // What a progress report is about.
  enum class Task { Load, Check };
  Q_ENUM(Task)

  explicit TDocument(QObject* parent = nullptr);
  ~TDocument() override;

  // Loads the file (codePage 0: detected); returns when the load, or the request that replaced
  // it, has ended. A replaced load gives CsvLoadError::Cancelled.
  CsvLoadResult LoadFromFile(const UnicodeString& fileName, std::uint16_t codePage = 0);
  // Empties the table.
  void Clear();
  bool IsLoading() const { return job_ != nullptr; }
  // Stops the running load soon (also one waiting for a pipe's writer); it ends as Cancelled.
  void CancelLoad();

  const TCsv& Csv() const { return core_.Csv(); }
  std::shared_ptr<const CsvTable> Table() const { return core_.Table(); }
  const UnicodeString& FileName() const { return core_.FileName(); }
  const CsvLoadResult& LastResult() const { return core_.LastResult(); }

  // The column check on the GUI thread, letting events run on each report of its progress.
  CheckResult Check(bool firstLineIsTitle, std::int64_t column);
  // A hook for another run over the table on the GUI thread (every column, a search): it
  // reports as the check does and lets events run.
  YieldHook CheckProgressHook();

 signals:
  // A load began; the table is empty until it ends.
  void loadStarted();
  // How far a load (in the loader's own units) or a check (in rows) has come.
  void progress(norvalis::TDocument::Task task, qint64 done, qint64 total);
  // A load ended; the table is the new one (empty when it failed).
  void loadFinished(const norvalis::CsvLoadResult& result);
  // The table was replaced or emptied: views lay themselves out again.
  void tableChanged();

 private:
  struct LoadJob;

  // Waits until no load runs; false when a later request took over or the document was
  // destroyed meanwhile.
  bool WaitForTurn();
  void ShowProgress(const std::shared_ptr<LoadJob>& job);
  void FinishLoad(std::shared_ptr<LoadJob> job);  // by value: callers may pass job_
  void WakeWaiters();

  CsvDocument core_;
  std::shared_ptr<LoadJob> job_;
  std::uint64_t lastRequest_ = 0;
  std::vector<QEventLoop*> waiters_;
};

}  // namespace norvalis
