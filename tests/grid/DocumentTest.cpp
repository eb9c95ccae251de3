#include "grid/Document.h"

#include <atomic>
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

bool WaitFor(const std::function<bool()>& condition) {
  QDeadlineTimer deadline(10000);
  while (!condition() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

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

TEST_F(DocumentTest, LoadReportsItsReasonAndALaterRequestCancelsIt) {
  std::string big;
  for (int i = 0; i < 20000; ++i)
    big += "\"cell " + std::to_string(i) + "\",b\n";
  const std::string first = File("first.csv", big);
  const std::string second = File("second.csv", "x,y,z\n");
  TDocument document;
  std::vector<CsvLoadError> finished;
  QObject::connect(&document, &TDocument::loadFinished,
                   [&](const CsvLoadResult& result) { finished.push_back(result.error); });

  const CsvLoadResult missing = document.LoadFromFile(U16(File("x", "")) + u".none");
  EXPECT_EQ(missing.error, CsvLoadError::Missing);
  EXPECT_FALSE(missing.message.empty());
  EXPECT_EQ(document.LastResult().error, CsvLoadError::Missing);
  EXPECT_TRUE(document.Csv().IsEmpty());

  CsvLoadResult later;
  bool asked = false;
  QObject::connect(&document, &TDocument::loadStarted, [&] {
    if (std::exchange(asked, true)) return;
    later = document.LoadFromFile(U16(second));
  });
  const CsvLoadResult replaced = document.LoadFromFile(U16(first));
  EXPECT_EQ(replaced.error, CsvLoadError::Cancelled);
  EXPECT_TRUE(later.ok());
  EXPECT_EQ(document.FileName(), U16(second));
  EXPECT_EQ(document.Csv().GetCell(0, 2), u"z");
  EXPECT_EQ(finished, (std::vector<CsvLoadError>{CsvLoadError::Missing, CsvLoadError::Cancelled,
                                                 CsvLoadError::None}));
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
  ASSERT_TRUE(document.LoadFromFile(U16(File("rows.csv", rows))).ok());
  tasks.clear();

  const CheckResult result = document.Check(false, 0);
  EXPECT_EQ(result.outcome, CheckResult::Outcome::Differs);
  EXPECT_EQ(result.rowIndex, 200000u);
  ASSERT_GE(tasks.size(), 2u) << "the start and the end of the run";
  for (const TDocument::Task task : tasks)
    EXPECT_EQ(task, TDocument::Task::Check);
  EXPECT_EQ(lastDone, 199999);
  EXPECT_EQ(lastTotal, 200000);
}

TEST_F(DocumentTest, GridsOfOneDocumentShowItsTableAndOutliveIt) {
  auto document = std::make_unique<TDocument>();
  TGridCsv first(nullptr, document.get());
  TGridCsv second(nullptr, document.get());
  first.LoadFromFile(U16(File("t.csv", "a,b,c\n1,2,3\n")));
  for (TGridCsv* grid : {&first, &second}) {
    EXPECT_EQ(&grid->Document(), document.get());
    EXPECT_EQ(grid->ColCount(), 4);
    EXPECT_EQ(grid->CellText(3, 2), u"3");
  }
  second.Clear();
  EXPECT_EQ(first.ColCount(), 2);
  EXPECT_EQ(first.CellText(1, 1), u"");
  document.reset();
  EXPECT_EQ(first.CellText(0, 1), u"") << "no table once the document has gone";
  test::Render(first);
}

}  // namespace
}  // namespace norvalis
