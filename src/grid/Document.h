#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include <QObject>
#include <QtGlobal>

#include "check/CellSearch.h"
#include "check/CharacterCheck.h"
#include "check/ColumnCheck.h"
#include "check/ColumnCheckAll.h"
#include "check/ColumnValues.h"
#include "check/RowFilter.h"
#include "check/RowsSave.h"
#include "check/RuleCheck.h"
#include "csv/CsvDocument.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// The window's CSV document: the Qt owner of a CsvDocument and of every long operation on it.
// Load, check, every-column check and find each run on a worker: starting one returns at
// once with its request token, progress comes through progress(), and the answer comes once
// through finished() with that token, followed by ended().
//
// One operation runs at a time. Starting one (or Clear) replaces the running one: that one
// is told to stop and its answer is dropped here, so no caller ever sees it. Cancel() stops
// the running one and lets its answer say so. Destroying the document stops the running
// operation and waits for its worker, which stops soon after being told.
class TDocument : public QObject {
  Q_OBJECT

 public:
  // What an operation does.
  enum class Task {
    Load,
    Check,
    CheckAll,
    Find,
    Differences,
    Values,
    Filter,
    SaveRows,
    Rules,
    Characters
  };
  Q_ENUM(Task)
  // Tells the answers of the requests apart; 0 is no request.
  using Request = std::uint64_t;
  // The answer of an operation stopped by Cancel() (a stopped load says so in its own result).
  struct Cancelled {};
  // The findings of the rules and of the character check may be millions: shared, not copied.
  using RuleAnswer = std::shared_ptr<const RuleCheckResult>;
  using CharacterAnswer = std::shared_ptr<const CharacterCheckResult>;
  // Views of the table answer shared, so a list of millions is never copied on its way.
  using Result =
      std::variant<CsvLoadResult, CheckResult, AllColumnsResult, CellSearchResult, Cancelled,
                   std::shared_ptr<const Differences>, std::shared_ptr<const ColumnValues>,
                   std::shared_ptr<const RowSelection>, RowsSaveResult, RuleAnswer,
                   CharacterAnswer>;
  // What a filter keeps (StartFilter).
  struct FilterRequest {
    enum class Kind { WithValue, WithoutValue, Containing };
    Kind kind = Kind::WithValue;
    bool firstLineIsTitle = false;
    std::int64_t column = 0;  // for WithValue and WithoutValue
    UnicodeString text;       // the value, or the text a cell contains
    bool caseSensitive = false;
  };

  explicit TDocument(QObject* parent = nullptr);
  ~TDocument() override;

  // Starts loading the file (codePage 0: detected); the table is empty until the answer.
  Request StartLoad(const UnicodeString& fileName, std::uint16_t codePage = 0);
  // Starts the column check on the table as it is now.
  Request StartCheck(bool firstLineIsTitle, std::int64_t column);
  // Starts the check of every column on the table as it is now.
  Request StartCheckAll(bool firstLineIsTitle);
  // Starts a search of the table as it is now.
  Request StartFind(const CellSearchRequest& request);
  // Starts listing every row whose cell in the column differs, as the check compares.
  Request StartDifferences(bool firstLineIsTitle, std::int64_t column);
  // Starts counting the column's distinct values.
  Request StartValues(bool firstLineIsTitle, std::int64_t column);
  // Starts choosing the data rows a filter keeps.
  Request StartFilter(const FilterRequest& request);
  // Starts writing the table rows to a new file (the title line first when titleFirst).
  Request StartSaveRows(std::shared_ptr<const std::vector<std::uint32_t>> rows, bool titleFirst,
                        const UnicodeString& path);
  // Starts checking every data row of the table as it is now against the rules.
  Request StartRules(bool firstLineIsTitle, std::vector<ColumnRule> rules);
  // Starts the character check of every data cell (kinds: bits of CharacterKind).
  Request StartCharacters(bool firstLineIsTitle, unsigned kinds);
  // Asks the running operation to stop; its answer comes soon after and says it stopped.
  void Cancel();
  // Replaces the running operation by an empty table, at once; the request has no answer.
  Request Clear();

  // The running operation, if any.
  std::optional<Task> Running() const;
  bool IsBusy() const { return current_ != nullptr; }
  bool IsLoading() const { return Running() == Task::Load; }

  const TCsv& Csv() const { return core_.Csv(); }
  std::shared_ptr<const CsvTable> Table() const { return core_.Table(); }
  const UnicodeString& FileName() const { return core_.FileName(); }
  const CsvLoadResult& LastResult() const { return core_.LastResult(); }

 signals:
  // An operation began; for a load the table is empty from now until its answer.
  void started(norvalis::TDocument::Request request, norvalis::TDocument::Task task);
  // How far the running operation has come (a load in the loader's units, the rest in rows).
  void progress(norvalis::TDocument::Task task, qint64 done, qint64 total);
  // The answer of a request that was not replaced (for a load, after tableChanged()).
  void finished(norvalis::TDocument::Request request, const norvalis::TDocument::Result& result);
  // The operation is over: after its answer was handled, or when it was replaced.
  void ended(norvalis::TDocument::Request request);
  // The table was replaced or emptied: views lay themselves out again.
  void tableChanged();

 private:
  struct Job;

  Request Start(std::shared_ptr<Job> job);
  // Starts work on a worker: the views of the table (DocumentViews.cpp) start this way.
  using Work = std::function<Result(YieldHook&, const std::atomic<bool>& cancel)>;
  Request StartWork(Task task, Work work);
  // Tells the running operation to stop and forgets it (its worker ends on its own), and says
  // it ended.
  void Replace();
  void PostProgress(Job& job);
  void EmitRowsToCheck(Task task, const std::shared_ptr<const CsvTable>& table,
                       bool firstLineIsTitle);
  void Finish(Request request);

  CsvDocument core_;
  std::shared_ptr<Job> current_;
  // Replaced operations whose workers have not yet returned.
  std::vector<std::shared_ptr<Job>> replaced_;
  Request requests_ = 0;
};

}  // namespace norvalis

Q_DECLARE_METATYPE(norvalis::TDocument::Result)
