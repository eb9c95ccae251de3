// norvalis-crash: started by the crash handler of a dying Norvalis program. Gathers the report
// from outside, lets the program end, then shows the report (or only writes it, as the
// program's options block says).

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "CrashDialog.h"
#include "CrashLog.h"
#include "CrashReport.h"
#include "Handover.h"
#include "crash/CrashHandover.h"

namespace {

using namespace norvalis::crash;

// The dying process has written everything before it waits; this only guards against a stall.
constexpr int HandoverTimeoutMs = 10 * 1000;
constexpr int ExitUsage = 64;
constexpr int ExitNoHandover = 65;

bool DisplayAvailable() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The program's windows as they are while it waits: the whole screen, where the window system
// lets another program read it (X11).
QImage GrabScreen() {
  if (QGuiApplication::platformName() != "xcb") return {};
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->grabWindow(0).toImage() : QImage();
}

void WriteToStandardError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1] != HandoverFdArgument) {
    std::fprintf(stderr,
                 "norvalis-crash は Norvalis のプログラムが異常終了したときに起動されます。\n");
    return ExitUsage;
  }
  const auto handover = ParseHandover(ReadHandover(HandoverFd, HandoverTimeoutMs));
  if (!handover) {
    close(HandoverFd);
    return ExitNoHandover;
  }
  const HandoverOptions& options = handover->options;
  // The report first, so it is kept even when no window can be shown.
  const CrashReport report = GatherReport(*handover);
  const std::string text = report.Text();
  WriteToStandardError(options.program + " はエラーが発生したため停止しました。\n\n" + text);
  const bool dialog = options.dialog && DisplayAvailable();
  const auto stem = CrashLogStem(*handover, report.executable);
  bool logSaved = false;
  if (options.autoLog || !dialog) {
    const auto path = stem.string() + ".txt";
    logSaved = WriteLogFile(path, text);
    WriteToStandardError((logSaved ? "ログ: " : "ログを保存できません: ") + path + "\n");
  }
  std::unique_ptr<QApplication> application;
  QImage screenshot;
  if (dialog) {
    application = std::make_unique<QApplication>(argc, argv);
    // The toolkit's own texts (a text box's menu, the tab bar's buttons) in Japanese, as the
    // program's window has them.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(application.get());
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QApplication::installTranslator(translator);
    }
    // Still before the program's windows close.
    if (options.screenshot) screenshot = GrabScreen();
  }
  // The report is complete: the program may end now, with its own signal.
  close(HandoverFd);
  if (!dialog) return 0;

  CrashDialog window(*handover, report, screenshot, stem, logSaved);
  window.show();
  // Tests and scripts answer the dialog with the captions of the buttons to press.
  if (const char* answer = std::getenv("NORVALIS_CRASH_ANSWER")) {
    const QStringList captions = QString::fromUtf8(answer).split(',', Qt::SkipEmptyParts);
    QTimer::singleShot(0, &window, [&window, captions] { window.Answer(captions); });
  }
  QObject::connect(&window, &QDialog::finished, application.get(), &QApplication::quit);
  return application->exec();
}
