// Long operations run on the document's workers: the window paints and takes keys meanwhile,
// and each command given while another runs does what the help says.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>

#include "WindowTestSupport.h"

namespace norvalis {
namespace {

using testing::WaitUntil;

// Counts the paints of the grid's viewport and the keys the grid takes while the document
// is busy.
class BusyEvents : public QObject {
 public:
  explicit BusyEvents(const TDocument& document) : document_(document) {}
  int paints = 0;
  int keys = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (!document_.IsBusy()) return false;
    if (event->type() == QEvent::Paint) ++paints;
    if (event->type() == QEvent::KeyPress) ++keys;
    return false;
  }

 private:
  const TDocument& document_;
};

class OperationsTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    // A reader that stops early must not end the test program.
    ::signal(SIGPIPE, SIG_IGN);
    fifo = dir.filePath(QStringLiteral("fifo.csv"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  }
  void TearDown() override {
    form.reset();
    release = true;
    if (writer.joinable()) {
      // Should a fault have left the writer without a reader, read its bytes away.
      const int fd = ::open(fifo.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      char buffer[4096];
      while (!written) {
        if (fd >= 0 && ::read(fd, buffer, sizeof buffer) <= 0)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (fd >= 0) ::close(fd);
      writer.join();
    }
    WindowTest::TearDown();
  }
  // A FIFO whose writer sends the bytes only once `release` is set: a load that lasts as long
  // as the test wants.
  void FeedWhenReleased(const std::string& bytes) {
    writer = std::thread([this, bytes] {
      const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_CLOEXEC);
      while (fd >= 0 && !release)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      for (std::size_t at = 0; fd >= 0 && at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      if (fd >= 0) ::close(fd);
      written = true;
    });
  }
  // Asks for a repaint and sends a key to the grid, as the user would.
  void PaintAndKey() {
    Grid()->viewport()->update();
    QApplication::postEvent(Grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
  }
  static std::string Rows(int count, const std::string& row) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * row.size() + 8);
    for (int i = 0; i < count; ++i)
      text += row;
    return text;
  }

  QString fifo;
  std::thread writer;
  std::atomic<bool> release{false};
  std::atomic<bool> written{false};
};

TEST_F(OperationsTest, TheGridPaintsAndTakesKeysWhileALoadAndACheckRun) {
  Load(Write(QStringLiteral("before.csv"), Rows(20, "x\n")));
  BusyEvents busy(form->Document());
  Grid()->installEventFilter(&busy);
  Grid()->viewport()->installEventFilter(&busy);

  FeedWhenReleased(Rows(2'000'000, "a\n") + "b\n");
  Open(fifo);
  ASSERT_TRUE(form->Document().IsLoading()) << "the open waited for the load";
  PaintAndKey();
  ASSERT_TRUE(WaitUntil([&] { return busy.paints > 0 && busy.keys > 0; }));
  EXPECT_TRUE(form->Document().IsLoading());
  release = true;
  ASSERT_TRUE(WaitLoaded());
  ASSERT_EQ(form->Document().Csv().GetRowCount(), 2'000'001u);

  busy.paints = 0;
  busy.keys = 0;
  Grid()->SetRow(1);
  Find<QAction>(*form, "ActionCsvCheck")->trigger();
  ASSERT_EQ(form->Document().Running(), TDocument::Task::Check) << "F5 waited for the check";
  EXPECT_EQ(form->StatusText(), TFormMain::CheckingText);
  PaintAndKey();
  ASSERT_TRUE(WaitIdle());
  EXPECT_GT(busy.paints, 0) << "no repaint while the check ran";
  EXPECT_GT(busy.keys, 0) << "no key while the check ran";
  EXPECT_EQ(Grid()->Row(), 2) << "the key was not taken";
  EXPECT_EQ(form->StatusText(), QStringLiteral("2000001行目のデータが異なります。セルの値：b"));
}

// What a command does while another operation runs.
TEST_F(OperationsTest, CommandsDuringAnOperation) {
  const QString abb = Write(QStringLiteral("abb.csv"), "a\nb\nb\n");
  const QString other = Write(QStringLiteral("other.csv"), "x,y\n");

  // The check, every column and find given during a load run on its table, once it is there.
  FeedWhenReleased("k\nk\nm\n");
  Open(fifo);
  Find<QAction>(*form, "ActionCsvCheck")->trigger();
  EXPECT_TRUE(form->Document().IsLoading()) << "the check replaced the load";
  release = true;
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Warnings(), QStringList{QStringLiteral("3行目のデータが異なります。\nセルの値：m")});
  EXPECT_EQ(form->StatusText(), QStringLiteral("3行目のデータが異なります。セルの値：m"));

  // A load replaces a running check: no answer of the check is shown.
  Load(abb);
  dialogs.calls.clear();
  Find<QAction>(*form, "ActionCsvCheck")->trigger();
  ASSERT_EQ(form->Document().Running(), TDocument::Task::Check);
  Open(other);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Warnings(), QStringList{});
  EXPECT_EQ(form->StatusText(), TFormMain::LoadedText);
  EXPECT_EQ(form->Document().Csv().GetColCount(), 2u);
  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // New replaces a running load at once, and nothing of the load is said afterwards.
  Open(abb);
  ASSERT_TRUE(form->Document().IsLoading());
  Find<QAction>(*form, "ActionFileNew")->trigger();
  EXPECT_FALSE(form->Document().IsBusy());
  form->SetStatusText(QStringLiteral("前の状態"));
  WaitUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(form->StatusText(), QStringLiteral("前の状態"));
  EXPECT_EQ(form->Document().Table(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Esc stops a running check, which then says so and shows no result.
TEST_F(OperationsTest, EscStopsACheck) {
  Load(Write(QStringLiteral("long.csv"), Rows(2'000'000, "a\n") + "b\n"));
  for (const char* action : {"ActionCsvCheck", "ActionCsvCheckAll"}) {
    SCOPED_TRACE(action);
    dialogs.calls.clear();
    Find<QAction>(*form, action)->trigger();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(Grid(), &esc);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(form->StatusText(), TFormMain::CheckCancelledText);
    EXPECT_EQ(Warnings(), QStringList{});
    EXPECT_TRUE(ProgressBar()->isHidden());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
}

// Closing the window stops whatever runs, also a load that waits for a pipe, and ends at once.
TEST_F(OperationsTest, ClosingTheWindowStopsTheRunningLoad) {
  Open(fifo);  // no writer ever comes
  ASSERT_TRUE(form->Document().IsLoading());
  form->close();
  form.reset();
  EXPECT_EQ(Warnings(), QStringList{});
}

}  // namespace
}  // namespace norvalis
