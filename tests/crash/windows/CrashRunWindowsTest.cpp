// Programs that crash on purpose under the Windows crash handler: the process ends with its
// exception's code, and the crash-log folder holds its minidump and a report whose crashing
// thread's stack names the function that crashed.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/FileName.h"
#include "platform/Folders.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD RunTimeoutMs = 120 * 1000;
constexpr std::uint64_t FunctionReach = 96;  // the crashing instruction lies this near its start

struct VictimRun {
  DWORD exitCode = 0;
  DWORD pid = 0;
  std::string output;
};

VictimRun RunVictim(const std::string& arguments) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring command = L"\"" + norvalis::platform::ToNativeFileName(NORVALIS_CRASH_VICTIM) +
                         L"\" " + norvalis::platform::ToNativeFileName(arguments);
  PROCESS_INFORMATION process{};
  VictimRun run;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "the victim does not start: " << GetLastError();
    return run;
  }
  CloseHandle(writeEnd);
  run.pid = process.dwProcessId;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
    run.output.append(buffer, got);
  CloseHandle(readEnd);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, RunTimeoutMs), WAIT_OBJECT_0);
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The log files of the process pid, "crash-victim-<date>-<time>-<pid>.<extension>".
fs::path LogFile(DWORD pid, const std::string& extension) {
  const fs::path folder =
      fs::path(norvalis::platform::ToNativeFileName(norvalis::platform::StateFolder())) /
      L"Norvalis" / L"crash";
  const std::string suffix = "-" + std::to_string(pid) + extension;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("crash-victim-") && name.ends_with(suffix)) return entry.path();
  }
  return {};
}

// The stack under "スレッド <id> ― 停止の原因", up to the blank line that ends it.
std::string CrashedThreadStack(const std::string& report) {
  const std::size_t mark = report.find(" ― 停止の原因\n");
  if (mark == std::string::npos) return {};
  const std::size_t start = report.find('\n', mark) + 1;
  return report.substr(start, report.find("\n\n", start) - start);
}

// Whether a frame reads "crash-victim.exe+0x<offset>" with the offset within the function.
bool NamesFunction(const std::string& stack, std::uint64_t function) {
  const std::string module = "crash-victim.exe+0x";
  for (std::size_t at = stack.find(module); at != std::string::npos;
       at = stack.find(module, at + 1)) {
    const std::uint64_t offset = std::stoull(stack.substr(at + module.size()), nullptr, 16);
    if (offset >= function && offset < function + FunctionReach) return true;
  }
  return false;
}

struct CrashCase {
  const char* mode;
  DWORD exitCode;
  const char* summary;  // a text the 概要 page holds
  int threads;          // at least this many thread stacks
};

TEST(CrashRunWindowsTest, EveryCrashEndsInAMinidumpAndAReportNamingTheCrashedFunction) {
  const CrashCase cases[] = {
      {"null-write", EXCEPTION_ACCESS_VIOLATION,
       "EXCEPTION_ACCESS_VIOLATION（不正なメモリアクセス）、書き込み アドレス 0x0", 1},
      {"second-thread", EXCEPTION_ACCESS_VIOLATION, "書き込み アドレス 0x0", 2},
      {"throw", 0xE0000001, "処理されない例外: std::runtime_error: 作業スレッドの例外", 2},
      {"mapped-guard", EXCEPTION_IN_PAGE_ERROR, "EXCEPTION_IN_PAGE_ERROR", 1},
  };
  for (const CrashCase& c : cases) {
    SCOPED_TRACE(c.mode);
    const VictimRun run = RunVictim(c.mode);
    EXPECT_EQ(run.exitCode, c.exitCode);
    ASSERT_TRUE(run.output.starts_with("crashing=0x")) << run.output;
    const std::uint64_t function = std::stoull(run.output.substr(11), nullptr, 16);

    const fs::path log = LogFile(run.pid, ".txt");
    const fs::path dump = LogFile(run.pid, ".dmp");
    ASSERT_FALSE(log.empty()) << "no report for process " << run.pid;
    ASSERT_FALSE(dump.empty()) << "no minidump for process " << run.pid;
    EXPECT_EQ(ReadFile(dump).substr(0, 4), "MDMP");
    const std::string report = ReadFile(log);
    for (const char* page :
         {"概要", "呼び出し履歴", "モジュール", "プロセス", "CPUレジスタ", "機械語"})
      EXPECT_NE(report.find(std::string("== ") + page + " =="), std::string::npos) << page;
    EXPECT_NE(report.find(c.summary), std::string::npos) << report;
    EXPECT_NE(report.find("プログラム: CrashVictim ("), std::string::npos);
    std::size_t threads = 0;
    for (std::size_t at = report.find("\nスレッド "); at != std::string::npos;
         at = report.find("\nスレッド ", at + 1))
      ++threads;
    EXPECT_GE(threads, static_cast<std::size_t>(c.threads));
    const std::string stack = CrashedThreadStack(report);
    EXPECT_TRUE(NamesFunction(stack, function))
        << "function at 0x" << std::hex << function << " not in\n"
        << stack;
    EXPECT_NE(report.find("rip      0x"), std::string::npos);
    std::error_code error;
    fs::remove(log, error);
    fs::remove(dump, error);
  }
}

TEST(CrashRunWindowsTest, ALostPageOfAMappedFileStaysTheGuardsAndEndsInNoReport) {
  const fs::path file = fs::temp_directory_path() / L"crash-victim-guarded.csv";
  std::ofstream(file, std::ios::binary) << std::string(4096, 'x');
  const VictimRun run = RunVictim("guarded \"" + file.string() + "\"");
  EXPECT_EQ(run.exitCode, 0u);
  // The victim's standard output is in text mode: its line ends in CR LF.
  EXPECT_EQ(run.output, "guarded=1 0\r\n");
  EXPECT_TRUE(LogFile(run.pid, ".txt").empty());
  std::error_code error;
  fs::remove(file, error);
}

TEST(CrashRunWindowsTest, TheHelperStartedByHandRefusesWithoutTheCrashedProcess) {
  // ParseCrashArguments is the helper's: a bad command line answers the usage, never a crash.
  const fs::path helper = fs::path(norvalis::platform::ToNativeFileName(NORVALIS_CRASH_VICTIM))
                              .parent_path()
                              .parent_path() /
                          L"crash" / L"norvalis-crash.exe";
  const std::wstring arguments[] = {L"", L"--pid=1", L"--pid=x --tid=1 --pointers=0x10",
                                    L"--pid=4000000 --tid=1 --pointers=0x10", L"--bogus"};
  const DWORD expected[] = {64, 64, 64, 65, 64};
  for (std::size_t i = 0; i < std::size(arguments); ++i) {
    SCOPED_TRACE(i);
    std::wstring command = L"\"" + helper.wstring() + L"\" " + arguments[i];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, RunTimeoutMs), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, expected[i]);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace
