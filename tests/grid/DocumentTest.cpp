#include "grid/Document.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "GridTestSupport.h"
#include "grid/GridCsv.h"
#include "grid/Worker.h"

namespace norvalis {
namespace {

using test::U16;
using DocumentTest = test::FileTest;

using test::WaitFor;

TEST(Worker, ContinuesOnTheContextsThreadOrNotAtAllWhenItHasGone) {
  QObject context;
  std::atomic<bool> worked{false};
  QThread* continuedOn = nullptr;
  TWorker worker;
  worker.Run([&] { worked = QThread::currentThread() != context.thread(); }, &context,
             [&] { continuedOn = QThread::currentThread(); });
  ASSERT_TRUE(WaitFor([&] { return continuedOn != nullptr; }));
  EXPECT_TRUE(worked) << "the work ran on the GUI thread";
  EXPECT_EQ(continuedOn, context.thread());

  auto gone = std::make_unique<QObject>();
  bool continued = false;
  TWorker late;
  late.Run([] {}, gone.get(), [&] { continued = true; });
  late.Join();
  gone.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(continued);
}

TEST_F(DocumentTest, LoadReportsItsReasonAndALaterRequestReplacesIt) {
  std::string big;
  for (int i = 0; i < 20000; ++i)
    big += "\"cell " + std::to_string(i) + "\",b\n";
  const std::string first = File("first.csv", big);
  const std::string second = File("second.csv", "x,y,z\n");
  TDocument document;
  std::vector<std::pair<TDocument::Request, CsvLoadError>> finished;
  QObject::connect(&document, &TDocument::finished,
                   [&](TDocument::Request request, const TDocument::Result& result) {
                     finished.emplace_back(request, std::get<CsvLoadResult>(result).error);
                   });

  const TDocument::Request missingRequest = document.StartLoad(U16(File("x", "")) + u".none");
  const auto missing = test::AnswerOf(document, missingRequest);
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(std::get<CsvLoadResult>(*missing).error, CsvLoadError::Missing);
  EXPECT_FALSE(std::get<CsvLoadResult>(*missing).message.empty());
  EXPECT_EQ(document.LastResult().error, CsvLoadError::Missing);
  EXPECT_TRUE(document.Csv().IsEmpty());

  // Starting returns at once; the later request replaces the first, whose answer never comes.
  const TDocument::Request replaced = document.StartLoad(U16(first));
  EXPECT_TRUE(document.IsLoading());
  const TDocument::Request later = document.StartLoad(U16(second));
  EXPECT_NE(replaced, later);
  ASSERT_TRUE(test::AnswerOf(document, later).has_value());
  EXPECT_EQ(document.FileName(), U16(second));
  EXPECT_EQ(document.Csv().GetCell(0, 2), u"z");
  EXPECT_EQ(finished, (std::vector<std::pair<TDocument::Request, CsvLoadError>>{
                          {missingRequest, CsvLoadError::Missing}, {later, CsvLoadError::None}}));
}

TEST_F(DocumentTest, CheckReportsThroughTheSameProgressAsTheLoad) {
  std::string rows;
  for (int i = 0; i < 200000; ++i)
    rows += "a\n";
  rows += "b\n";
  TDocument document;
  std::vector<TDocument::Task> tasks;
  qint64 lastDone = -1;
  qint64 lastTotal = -1;
  QObject::connect(&document, &TDocument::progress,
                   [&](TDocument::Task task, qint64 done, qint64 total) {
                     tasks.push_back(task);
                     EXPECT_LE(done, total);
                     lastDone = done;
                     lastTotal = total;
                   });
  ASSERT_TRUE(test::LoadAndWait(document, U16(File("rows.csv", rows))).ok());
  tasks.clear();

  const auto answer = test::AnswerOf(document, document.StartCheck(false, 0));
  ASSERT_TRUE(answer.has_value());
  const CheckResult& result = std::get<CheckResult>(*answer);
  EXPECT_EQ(result.outcome, CheckResult::Outcome::Differs);
  EXPECT_EQ(result.rowIndex, 200000u);
  ASSERT_GE(tasks.size(), 2u) << "the start and the end of the run";
  for (const TDocument::Task task : tasks)
    EXPECT_EQ(task, TDocument::Task::Check);
  EXPECT_EQ(lastDone, 199999);
  EXPECT_EQ(lastTotal, 200000);
}

// Every operation stops at its cancel flag and says so; ended follows every start once.
TEST_F(DocumentTest, CancelledOperationsSaySoAndEndOnce) {
  std::string rows;
  for (int i = 0; i < 300000; ++i)
    rows += "\"a\",\"b\"\n";
  const std::u16string file = U16(File("rows.csv", rows));
  TDocument document;
  ASSERT_TRUE(test::LoadAndWait(document, file).ok());
  CellSearchRequest find;
  find.text = u"not there";
  const std::function<TDocument::Request()> starts[] = {
      [&] { return document.StartCheck(false, 0); },
      [&] { return document.StartCheckAll(false); },
      [&] { return document.StartFind(find); },
      [&] { return document.StartLoad(file); },
  };
  for (const auto& start : starts) {
    std::vector<TDocument::Request> ended;
    const QMetaObject::Connection connection =
        QObject::connect(&document, &TDocument::ended,
                         [&](TDocument::Request request) { ended.push_back(request); });
    const TDocument::Request request = start();
    document.Cancel();
    const auto answer = test::AnswerOf(document, request);
    QObject::disconnect(connection);
    ASSERT_TRUE(answer.has_value());
    const auto* load = std::get_if<CsvLoadResult>(&*answer);
    EXPECT_TRUE(load ? load->error == CsvLoadError::Cancelled
                     : std::holds_alternative<TDocument::Cancelled>(*answer))
        << "answer " << answer->index();
    EXPECT_EQ(ended, std::vector<TDocument::Request>{request});
    EXPECT_FALSE(document.IsBusy());
  }
}

TEST_F(DocumentTest, GridsOfOneDocumentShowItsTableAndOutliveIt) {
  auto document = std::make_unique<TDocument>();
  TGridCsv first(nullptr, document.get());
  TGridCsv second(nullptr, document.get());
  test::LoadAndWait(*document, U16(File("t.csv", "a,b,c\n1,2,3\n")));
  for (TGridCsv* grid : {&first, &second}) {
    EXPECT_EQ(&grid->Document(), document.get());
    EXPECT_EQ(grid->ColCount(), 4);
    EXPECT_EQ(grid->CellText(3, 2), u"3");
  }
  second.Document().Clear();
  EXPECT_EQ(first.ColCount(), 2);
  EXPECT_EQ(first.CellText(1, 1), u"");
  document.reset();
  EXPECT_EQ(first.CellText(0, 1), u"") << "no table once the document has gone";
  test::Render(first);
}

}  // namespace
}  // namespace norvalis
