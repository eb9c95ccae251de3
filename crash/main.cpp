// norvalis-crash: started by the crash handler of a dying Norvalis program. Gathers the report
// from outside, lets the program end, then shows the report (or only writes it, as the
// program's options block says).

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <QImage>
#include <QProcess>

#include "CrashDialog.h"
#include "CrashLog.h"
#include "CrashReport.h"
#include "Handover.h"
#include "LogFile.h"
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
  if (!dialog) {
    // The report is complete: the program may end now, with its own signal.
    close(HandoverFd);
    return 0;
  }
  CrashDialogContent content{report.pages, options,  QString::fromStdString(stem.string()),
                             logSaved,     QImage(), nullptr};
  if (!report.executable.empty()) {
    content.restart = [&report] {
      QStringList arguments;
      for (std::size_t i = 1; i < report.arguments.size(); ++i)
        arguments << QString::fromStdString(report.arguments[i]);
      return QProcess::startDetached(QString::fromStdString(report.executable), arguments,
                                     QString::fromStdString(report.workingDirectory));
    };
  }
  return RunCrashDialog(argc, argv, std::move(content), [] { close(HandoverFd); });
}
