// The column check on the real window: a table of 10 million equal rows in one column, the
// check run through the window's command with its yields, and how often the window repainted
// meanwhile.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QEvent>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include "app/Application.h"
#include "app/FormMain.h"
#include "grid/Document.h"

namespace {

constexpr std::uint32_t Rows = 10'000'000;

// Counts paint events: of every widget, and of the progress bar alone.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(const QObject* bar) : bar_(bar) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (counting && event->type() == QEvent::Paint) {
      ++widgets;
      if (watched == bar_) ++bar;
    }
    return false;
  }
  bool counting = false;
  long widgets = 0;
  long bar = 0;

 private:
  const QObject* bar_;
};

bool WaitUntil(const std::function<bool()>& condition) {
  QDeadlineTimer deadline(10000);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window reads and writes the per-user settings: not the real ones here.
  QTemporaryDir settingsHome;
  qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
  norvalis::Application app(argc, argv);
  norvalis::TFormMain form;
  form.show();
  if (!WaitUntil([&] { return !form.StartupPending() && form.windowHandle()->isExposed(); })) {
    std::fprintf(stderr, "the window did not come up\n");
    return 1;
  }

  // The table comes through the window's own load, from a scratch file.
  QTemporaryDir data;
  const QString path = data.filePath(QStringLiteral("rows.csv"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    const QByteArray block = QByteArray("a\n").repeated(1'000'000);
    for (std::uint32_t i = 0; i < Rows / 1'000'000; ++i)
      file.write(block);
  }
  form.OpenCsvFile(path.toStdU16String());
  if (!WaitUntil([&] { return !form.Document().IsLoading(); }) ||
      form.Document().Csv().GetRowCount() != Rows) {
    std::fprintf(stderr, "the table was not built\n");
    return 1;
  }
  auto* bar = form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));

  PaintCounter paints(bar);
  app.installEventFilter(&paints);
  paints.counting = true;
  const auto start = std::chrono::steady_clock::now();
  form.findChild<QAction*>(QStringLiteral("ActionCsvCheck"))->trigger();
  // The check runs on a worker; its answer is shown when it comes. The loop sleeps between
  // events, as the program's own does.
  QEventLoop loop;
  QObject::connect(&form.Document(), &norvalis::TDocument::ended, &loop, [&] {
    if (!form.Document().IsBusy()) loop.quit();
  });
  if (form.Document().IsBusy()) loop.exec();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  paints.counting = false;

  std::printf("rows                 %u\n", Rows);
  std::printf("check on a worker    %.3f s\n", seconds);
  std::printf("paints during run    %ld (progress bar %ld)\n", paints.widgets, paints.bar);
  std::printf("status               %s\n", form.StatusText().toUtf8().constData());
  std::printf("progress             %d / %d\n", bar->value(), bar->maximum());
  return seconds < 1.0 ? 0 : 1;
}
