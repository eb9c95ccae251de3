// A FIFO opened in the window: the load waits for its writer on the worker, and Esc, another
// open or closing the window stop the wait.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include "WindowTestSupport.h"

namespace norvalis {
namespace {

class FifoLoadTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    fifo = dir.filePath(QStringLiteral("fifo.csv"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  }
  void TearDown() override {
    done = true;
    if (rescuer.joinable()) rescuer.join();
    WindowTest::TearDown();
  }
  // Writes the bytes into the FIFO from another thread; then, should the test still run after
  // a few seconds (far longer than it takes), frees any reader stuck on the FIFO, so a fault
  // fails the test instead of hanging it.
  void Feed(const std::string& bytes) {
    rescuer = std::thread([this, bytes] {
      const QByteArray path = fifo.toLocal8Bit();
      if (!bytes.empty()) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
          for (const char c : bytes)
            if (::write(fd, &c, 1) != 1) break;  // in pieces, as a slow pipe gives them
          ::close(fd);
        }
      }
      for (int i = 0; i < 25 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      while (!done) {
        const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          rescued = true;
          ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    });
  }
  // Sends Esc as soon as the load is waiting.
  void EscWhileLoading() {
    auto* timer = new QTimer(form.get());
    QObject::connect(timer, &QTimer::timeout, form.get(), [this, timer] {
      if (!form->Document().IsLoading()) return;
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(Grid(), &esc);
      timer->deleteLater();
    });
    timer->start(10);
  }

  QString fifo;
  std::thread rescuer;
  std::atomic<bool> done{false};
  std::atomic<bool> rescued{false};
};

TEST_F(FifoLoadTest, AFifoIsReadToItsEndOnTheWorker) {
  Feed("a,b\nc,d\n");
  Open(fifo);
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 2u);
  EXPECT_EQ(form->StatusText(), TFormMain::LoadedText);
  EXPECT_EQ(Find<QLabel>(*form, "LabelTableSize")->text(), QStringLiteral("2 行 × 2 列"));
  EXPECT_FALSE(rescued) << "the window opened the FIFO a second time";
}

TEST_F(FifoLoadTest, EscStopsTheWaitForAWriter) {
  Feed({});
  EscWhileLoading();
  Open(fifo);
  ASSERT_TRUE(WaitLoaded());
  EXPECT_FALSE(rescued) << "the wait did not stop at Esc";
  EXPECT_EQ(form->StatusText(), TFormMain::LoadCancelledText);
  EXPECT_EQ(form->Document().Table(), nullptr);
  EXPECT_EQ(Warnings(), QStringList{});

  // Another open stops it as well.
  QTimer::singleShot(0, form.get(), [this] { Open(Write(QStringLiteral("t.csv"), "x\n")); });
  Open(fifo);
  ASSERT_TRUE(WaitLoaded());
  EXPECT_FALSE(rescued);
  EXPECT_EQ(EditFilename()->text(), dir.filePath(QStringLiteral("t.csv")));
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 1u);
}

}  // namespace
}  // namespace norvalis
