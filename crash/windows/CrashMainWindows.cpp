// norvalis-crash.exe: started by the crash handler of a dying Norvalis program on Windows.
// Writes the minidump and the text report into the crash-log folder while the program waits,
// and the report to standard error.

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/Console.h"
#include "platform/FileName.h"
#include "platform/Folders.h"
#include "windows/CrashReportWindows.h"

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

bool WriteText(const std::wstring& path, const std::string& text) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return ok;
}

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
  const std::string text = report.Text();
  platform::WriteStandardError(report.program + " はエラーが発生したため停止しました。\n\n" + text);
  const std::string stemText = platform::FromNativeFileName(stem);
  const bool logged = !stem.empty() && WriteText(stem + L".txt", text);
  platform::WriteStandardError((logged ? "ログ: " : "ログを保存できません: ") + stemText +
                               ".txt\n");
  platform::WriteStandardError((dumped ? "ミニダンプ: " : "ミニダンプを保存できません: ") +
                               stemText + ".dmp\n");
  CloseHandle(process);
  return 0;
}
