// norvalis-crash.exe: started by the crash handler of a dying Norvalis program on Windows.
// Writes the minidump into the crash-log folder and the report to standard error while the
// program waits, then shows the report (or only writes it, as the program's options block says).

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "LogFile.h"
#include "platform/Console.h"
#include "platform/FileName.h"
#include "platform/Folders.h"
#include "windows/CrashReportWindows.h"

#ifdef NORVALIS_CRASH_WITH_DIALOG
#include <QImage>
#include <QString>

#include "CrashDialog.h"
#endif

namespace {

using namespace norvalis;
using namespace norvalis::crash;

constexpr int ExitUsage = 64;
constexpr int ExitNoProcess = 65;

// %LOCALAPPDATA%\Norvalis\crash, created when missing; empty when there is no such folder.
std::wstring CrashLogFolder() {
  const std::string base = platform::StateFolder();
  if (base.empty()) return {};
  std::wstring folder = platform::ToNativeFileName(base);
  for (const wchar_t* part : {L"\\Norvalis", L"\\crash"}) {
    folder += part;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return {};
  }
  return folder;
}

// "<program>-<date>-<time>-<pid>", as on Linux.
std::wstring LogStem(const std::wstring& folder, HANDLE process, DWORD pid) {
  wchar_t image[MAX_PATH * 4];
  DWORD length = MAX_PATH * 4;
  std::wstring program = L"norvalis";
  if (QueryFullProcessImageNameW(process, 0, image, &length)) {
    program = image;
    program = program.substr(program.find_last_of(L"\\/") + 1);
    if (program.size() > 4 && program.ends_with(L".exe")) program.resize(program.size() - 4);
  }
  SYSTEMTIME now{};
  GetLocalTime(&now);
  wchar_t stamp[48];
  std::swprintf(stamp, sizeof stamp / sizeof stamp[0], L"-%04u%02u%02u-%02u%02u%02u-%lu", now.wYear,
                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, pid);
  return folder + L"\\" + program + stamp;
}

#ifdef NORVALIS_CRASH_WITH_DIALOG
// The program again, as it was started: its own file, its command line as it was, its folder.
bool Restart(const WindowsCrashReport& report) {
  std::wstring commandLine = report.commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(report.executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr,
                      report.workingDirectory.empty() ? nullptr : report.workingDirectory.c_str(),
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int ShowDialog(int argc, char** argv, HANDLE process, const CrashArguments& crash,
               const WindowsCrashReport& report, const std::wstring& stem, bool logSaved) {
  CrashDialogContent content{report.pages, report.options, QString::fromStdWString(stem),
                             logSaved,     QImage(),       nullptr};
  if (!report.executable.empty() && !report.commandLine.empty())
    content.restart = [&report] { return Restart(report); };
  return RunCrashDialog(argc, argv, std::move(content), [process, &crash] {
    ReleaseProcess(process, crash);
    CloseHandle(process);
  });
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const auto crash = ParseCrashArguments(platform::CommandLineArguments(argc, argv));
  if (!crash) {
    platform::WriteStandardError(
        "norvalis-crash は Norvalis のプログラムが異常終了したときに起動されます。\n");
    return ExitUsage;
  }
  const HANDLE process = OpenProcess(
      PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_SUSPEND_RESUME | PROCESS_DUP_HANDLE,
      FALSE, crash->pid);
  if (process == nullptr) {
    platform::WriteStandardError("異常終了したプロセスを調べられません。\n");
    return ExitNoProcess;
  }
  // The minidump first: it is what a developer needs most when the rest fails.
  const std::wstring folder = CrashLogFolder();
  const std::wstring stem = folder.empty() ? std::wstring() : LogStem(folder, process, crash->pid);
  const bool dumped = !stem.empty() && WriteMinidump(process, *crash, stem + L".dmp");
  const WindowsCrashReport report = GatherReport(process, *crash);
  const HandoverOptions& options = report.options;
  const std::string text = ReportText(report.pages);
  platform::WriteStandardError(options.program + " はエラーが発生したため停止しました。\n\n" +
                               text);
#ifdef NORVALIS_CRASH_WITH_DIALOG
  // Without a log folder the dialog could keep nothing: the report stays on standard error.
  const bool dialog = options.dialog && !stem.empty();
#else
  const bool dialog = false;
#endif
  const std::string stemText = platform::FromNativeFileName(stem);
  bool logSaved = false;
  if (options.autoLog || !dialog) {
    logSaved = !stem.empty() && WriteLogFile(std::filesystem::path(stem + L".txt"), text);
    platform::WriteStandardError((logSaved ? "ログ: " : "ログを保存できません: ") + stemText +
                                 ".txt\n");
  }
  platform::WriteStandardError((dumped ? "ミニダンプ: " : "ミニダンプを保存できません: ") +
                               stemText + ".dmp\n");
#ifdef NORVALIS_CRASH_WITH_DIALOG
  if (dialog) return ShowDialog(argc, argv, process, *crash, report, stem, logSaved);
#endif
  // The report is complete: the program ends when this helper does.
  CloseHandle(process);
  return 0;
}
