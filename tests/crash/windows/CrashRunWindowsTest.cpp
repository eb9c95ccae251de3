// Programs that crash on purpose under the Windows crash handler: the process ends with its
// exception's code, the report reaches its standard error however that is redirected, the
// dialog shows the six pages and answers as a user would, and the crash-log folder holds the
// minidump and a report whose crashing thread's stack names the function that crashed.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileName.h"
#include "platform/Folders.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD RunTimeoutMs = 120 * 1000;
constexpr std::uint64_t FunctionReach = 96;  // the crashing instruction lies this near its start
constexpr char CrashedMessage[] = " はエラーが発生したため停止しました。\n\n";
const char* const PageTitles[] = {"概要",     "呼び出し履歴", "モジュール",
                                  "プロセス", "CPUレジスタ",  "機械語"};

fs::path Beside(const char* program, const wchar_t* folder, const wchar_t* name) {
  return fs::path(norvalis::platform::ToNativeFileName(program)).parent_path().parent_path() /
         folder / name;
}

struct VictimRun {
  DWORD exitCode = 0;
  DWORD pid = 0;
  std::string output;  // standard output and error
};

// Reads a pipe while it is written, until every writer has closed it; a helper that never ends
// fails the run instead of holding it.
void ReadToEnd(HANDLE readEnd, std::string& output) {
  char buffer[4096];
  DWORD available = 0;
  for (const ULONGLONG deadline = GetTickCount64() + RunTimeoutMs;
       PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr);) {
    DWORD got = 0;
    if (available > 0 && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr)) {
      output.append(buffer, got);
    } else if (GetTickCount64() > deadline) {
      ADD_FAILURE() << "the helper has not ended\n" << output;
      break;
    } else {
      Sleep(10);
    }
  }
}

// A pipe whose write end a child inherits.
std::pair<HANDLE, HANDLE> InheritablePipe() {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  return {readEnd, writeEnd};
}

// Starts command with these standard output and error, in folder when one is given; its
// process, or nothing when it does not start.
PROCESS_INFORMATION Start(std::wstring command, HANDLE output, HANDLE errors,
                          const fs::path& folder = {}) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = errors;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    ADD_FAILURE() << "cannot start " << norvalis::platform::FromNativeFileName(command) << ": "
                  << GetLastError();
  return process;
}

// The exit code once the process has ended.
DWORD EndOf(PROCESS_INFORMATION& process) {
  EXPECT_EQ(WaitForSingleObject(process.hProcess, RunTimeoutMs), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// Runs the victim with the dialog answered by answer on the offscreen platform; its standard
// output and error are one pipe, read to its end, so the run is over when the helper, which
// writes there too, has ended.
VictimRun RunVictim(const std::string& arguments, const std::string& answer = "ログを保存,閉じる",
                    const fs::path& folder = {}) {
  SetEnvironmentVariableW(L"QT_QPA_PLATFORM", L"offscreen");
  SetEnvironmentVariableW(L"NORVALIS_CRASH_ANSWER",
                          norvalis::platform::ToNativeFileName(answer).c_str());
  const auto [readEnd, writeEnd] = InheritablePipe();
  PROCESS_INFORMATION process =
      Start(L"\"" + norvalis::platform::ToNativeFileName(NORVALIS_CRASH_VICTIM) + L"\" " +
                norvalis::platform::ToNativeFileName(arguments),
            writeEnd, writeEnd, folder);
  CloseHandle(writeEnd);
  VictimRun run;
  if (process.hProcess == nullptr) return run;
  run.pid = process.dwProcessId;
  ReadToEnd(readEnd, run.output);
  CloseHandle(readEnd);
  run.exitCode = EndOf(process);
  return run;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Logs older than this test program are another run's, whose process may have had the same id
// (the file times are whole seconds).
const fs::file_time_type TestStart = fs::file_time_type::clock::now() - std::chrono::seconds(2);

// The log files of the process pid, "<program>-<date>-<time>-<pid>.<extension>".
fs::path LogFile(DWORD pid, const std::string& extension,
                 const std::string& program = "crash-victim") {
  const fs::path folder =
      fs::path(norvalis::platform::ToNativeFileName(norvalis::platform::StateFolder())) /
      L"Norvalis" / L"crash";
  const std::string suffix = "-" + std::to_string(pid) + extension;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(program + "-") && name.ends_with(suffix) &&
        entry.last_write_time(error) >= TestStart)
      return entry.path();
  }
  return {};
}

// The rest of the line that starts with prefix.
std::string LineAfter(const std::string& text, const std::string& prefix) {
  const std::size_t at = text.find("\n" + prefix);
  if (at == std::string::npos) return {};
  const std::size_t start = at + 1 + prefix.size();
  return text.substr(start, text.find('\n', start) - start);
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
  const char* summary;   // a text the 概要 page holds
  int threads;           // at least this many thread stacks
  const char* function;  // named in the crashed thread's stack, from the victim's symbol list
};

TEST(CrashRunWindowsTest, EveryCrashEndsInAMinidumpAndAReportNamingTheCrashedFunction) {
  const CrashCase cases[] = {
      {"null-write", EXCEPTION_ACCESS_VIOLATION,
       "EXCEPTION_ACCESS_VIOLATION（不正なメモリアクセス）、書き込み アドレス 0x0", 1,
       "VictimWriteNull(int volatile*)+0x0\n"},
      {"second-thread", EXCEPTION_ACCESS_VIOLATION, "書き込み アドレス 0x0", 2,
       "VictimSecondThreadWrite()+0x"},
      {"throw", 0xE0000001, "処理されない例外: std::runtime_error: 作業スレッドの例外", 2,
       "VictimThrow()+0x"},
      {"mapped-guard", EXCEPTION_IN_PAGE_ERROR, "EXCEPTION_IN_PAGE_ERROR", 1,
       "VictimRaisePageError()+0x"},
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
    // The log is the dialog's: its button wrote the report that went to standard error.
    const std::string report = ReadFile(log);
    EXPECT_NE(run.output.find(std::string("CrashVictim") + CrashedMessage + report),
              std::string::npos)
        << run.output;
    for (const char* page : PageTitles)
      EXPECT_NE(report.find(std::string("== ") + page + " =="), std::string::npos) << page;
    EXPECT_NE(report.find(c.summary), std::string::npos) << report;
    EXPECT_NE(report.find("プログラム: CrashVictim ("), std::string::npos);
    std::size_t threads = 0;
    for (std::size_t at = report.find("\nスレッド "); at != std::string::npos;
         at = report.find("\nスレッド ", at + 1))
      ++threads;
    EXPECT_GE(threads, static_cast<std::size_t>(c.threads));
    const std::string stack = CrashedThreadStack(report);
    EXPECT_NE(report.find("== 呼び出し履歴 ==\nスレッド " + LineAfter(report, "スレッド: ") +
                          " ― 停止の原因\n"),
              std::string::npos)
        << "the crashed thread first\n"
        << report;
    EXPECT_TRUE(NamesFunction(stack, function))
        << "function at 0x" << std::hex << function << " not in\n"
        << stack;
    EXPECT_NE(stack.find(std::string(" (anonymous namespace)::") + c.function), std::string::npos)
        << stack;
    EXPECT_NE(report.find("rip      0x"), std::string::npos);
    std::error_code error;
    fs::remove(log, error);
    fs::remove(dump, error);
  }
}

// The lines of the dialog's "?" answer: its buttons, the toolkit's texts and its pages.
std::vector<std::string> DialogTexts(const std::string& output) {
  std::vector<std::string> lines;
  const std::string marker = "norvalis-crash: texts\n";
  std::size_t at = output.find(marker);
  if (at == std::string::npos) return lines;
  for (at += marker.size(); at < output.size();) {
    const std::size_t end = output.find('\n', at);
    if (end == at || end == std::string::npos) break;
    lines.push_back(output.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// Whether a line is text, or text and a key after a tab, as a menu item shows it.
bool Holds(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line == text || line.starts_with(text + "\t")) return true;
  return false;
}

TEST(CrashRunWindowsTest, TheDialogShowsTheSixPagesInJapaneseAndKeepsNoLogUnasked) {
#ifndef NORVALIS_CRASH_DIALOG
  GTEST_SKIP() << "the headless build's helper has no dialog";
#endif
  const VictimRun run = RunVictim("null-write", "?,閉じる");
  EXPECT_EQ(run.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
  const std::vector<std::string> texts = DialogTexts(run.output);
  ASSERT_FALSE(texts.empty()) << run.output;
  for (const char* title : PageTitles)
    EXPECT_TRUE(Holds(texts, title)) << title << "\n" << run.output;
  for (const char* text : {"レポートをコピー(&C)", "スクリーンショットを添付(&A)", "ログを保存(&L)",
                           "再起動(&R)", "閉じる(&X)", "コピー(&C)"})
    EXPECT_TRUE(Holds(texts, text)) << text << "\n" << run.output;
  for (const std::string& text : texts)
    for (const char* english : {"Copy", "Select All", "Scroll"})
      EXPECT_EQ(text.find(english), std::string::npos) << text;
  // Closed without saving: the minidump is kept, the log only when asked for.
  EXPECT_TRUE(LogFile(run.pid, ".txt").empty());
  const fs::path dump = LogFile(run.pid, ".dmp");
  EXPECT_FALSE(dump.empty());
  std::error_code error;
  fs::remove(dump, error);
}

TEST(CrashRunWindowsTest, RestartStartsTheProgramAgainWithItsArgumentsInItsFolder) {
#ifndef NORVALIS_CRASH_DIALOG
  GTEST_SKIP() << "the headless build's helper has no dialog";
#endif
  // Names no ANSI code page spells whole: the command line goes on as it was.
  const fs::path folder = fs::temp_directory_path() / L"再起動①";
  const fs::path marker = folder / L"印ß.txt";
  std::error_code error;
  fs::create_directories(folder, error);
  fs::remove(marker, error);
  const std::string markerName = norvalis::platform::FromNativeFileName(marker.wstring());
  const VictimRun run = RunVictim("crash-once \"" + markerName + "\"", "再起動", folder);
  EXPECT_EQ(run.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << run.output;
  // The program started again ends by itself, once it has written the marker.
  const std::string expected =
      "restarted " + norvalis::platform::FromNativeFileName(folder.wstring());
  std::string written;
  for (const ULONGLONG deadline = GetTickCount64() + RunTimeoutMs;
       written != expected && GetTickCount64() < deadline; Sleep(20))
    written = ReadFile(marker);
  EXPECT_EQ(written, expected);
  fs::remove(LogFile(run.pid, ".dmp"), error);
  fs::remove_all(folder, error);
}

// A thread that jumps to an address where nothing is: a crash from outside, as kill is on Linux.
void CrashFromOutside(HANDLE process) {
  const HANDLE thread = CreateRemoteThread(
      process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(std::uintptr_t{0x10}), nullptr,
      0, nullptr);
  ASSERT_NE(thread, nullptr);
  CloseHandle(thread);
}

TEST(CrashRunWindowsTest, NorvalisShowsTheDialogOfItsCrash) {
#ifndef NORVALIS_CRASH_DIALOG
  GTEST_SKIP() << "the headless build has no window";
#endif
  SetEnvironmentVariableW(L"QT_QPA_PLATFORM", L"offscreen");
  SetEnvironmentVariableW(L"NORVALIS_CRASH_ANSWER", L"?,ログを保存,閉じる");
  const auto [readEnd, writeEnd] = InheritablePipe();
  PROCESS_INFORMATION process =
      Start(L"\"" + Beside(NORVALIS_CRASH_VICTIM, L"src\\app", L"norvalis.exe").wstring() + L"\"",
            writeEnd, writeEnd);
  CloseHandle(writeEnd);
  ASSERT_NE(process.hProcess, nullptr);
  // Its window waits for input: it has started, with its handler in place.
  EXPECT_EQ(WaitForInputIdle(process.hProcess, RunTimeoutMs), 0u);
  CrashFromOutside(process.hProcess);
  std::string output;
  ReadToEnd(readEnd, output);
  CloseHandle(readEnd);
  EXPECT_EQ(EndOf(process), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

  const std::vector<std::string> texts = DialogTexts(output);
  for (const char* text : {"ログを保存(&L)", "閉じる(&X)", "機械語"})
    EXPECT_TRUE(Holds(texts, text)) << text << "\n" << output;
  const fs::path log = LogFile(process.dwProcessId, ".txt", "norvalis");
  ASSERT_FALSE(log.empty()) << output;
  const std::string report = ReadFile(log);
  EXPECT_NE(report.find("プログラム: Norvalis ("), std::string::npos) << report;
  EXPECT_NE(report.find("バージョン: 0.1.0.0"), std::string::npos) << report;
  EXPECT_NE(output.find(std::string("Norvalis") + CrashedMessage + report), std::string::npos)
      << output;
  std::error_code error;
  fs::remove(log, error);
  fs::remove(LogFile(process.dwProcessId, ".dmp", "norvalis"), error);
}

// Windows gives a child none of the program's handles unless they are passed (Wine gives a console
// program's standard handles anyway, so there this cannot fail as it would on Windows).
TEST(CrashRunWindowsTest, NorvalisCheckWritesItsReportToStandardErrorInAFile) {
  const fs::path table = fs::temp_directory_path() / L"crash-check-large.csv";
  {
    std::ofstream out(table, std::ios::binary);
    for (int row = 0; row < 100000; ++row)
      out << row << ",値\n";
  }
  const fs::path errors = fs::temp_directory_path() / L"crash-check-errors.txt";
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE errorFile = CreateFileW(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(errorFile, INVALID_HANDLE_VALUE);
  const auto [readEnd, writeEnd] = InheritablePipe();
  PROCESS_INFORMATION process =
      Start(L"\"" + Beside(NORVALIS_CRASH_VICTIM, L"cli", L"norvalis-check.exe").wstring() +
                L"\" --dump \"" + table.wstring() + L"\"",
            writeEnd, errorFile);
  CloseHandle(writeEnd);
  CloseHandle(errorFile);
  ASSERT_NE(process.hProcess, nullptr);
  // Its first output: it runs, with its handler in place, and then blocks on the unread pipe.
  char first[16];
  DWORD got = 0;
  EXPECT_TRUE(::ReadFile(readEnd, first, sizeof first, &got, nullptr) && got > 0);
  CrashFromOutside(process.hProcess);
  EXPECT_EQ(EndOf(process), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
  CloseHandle(readEnd);

  // No dialog: the log is kept unasked, and standard error has the same report.
  const fs::path log = LogFile(process.dwProcessId, ".txt", "norvalis-check");
  ASSERT_FALSE(log.empty());
  const std::string report = ReadFile(log);
  EXPECT_NE(report.find("プログラム: Norvalis ("), std::string::npos) << report;
  EXPECT_NE(report.find("norvalis-check.exe)"), std::string::npos) << report;
  const std::string written = ReadFile(errors);
  EXPECT_NE(written.find(std::string("Norvalis") + CrashedMessage + report), std::string::npos)
      << written;
  std::error_code error;
  fs::remove(log, error);
  fs::remove(LogFile(process.dwProcessId, ".dmp", "norvalis-check"), error);
  fs::remove(errors, error);
  fs::remove(table, error);
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
  const fs::path helper = Beside(NORVALIS_CRASH_VICTIM, L"crash", L"norvalis-crash.exe");
  const std::wstring arguments[] = {L"", L"--pid=1", L"--pid=x --tid=1 --pointers=0x10",
                                    L"--pid=4000000 --tid=1 --pointers=0x10", L"--bogus"};
  const DWORD expected[] = {64, 64, 64, 65, 64};
  for (std::size_t i = 0; i < std::size(arguments); ++i) {
    SCOPED_TRACE(i);
    std::wstring command = L"\"" + helper.wstring() + L"\" " + arguments[i];
    PROCESS_INFORMATION process =
        Start(command, GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
    ASSERT_NE(process.hProcess, nullptr);
    EXPECT_EQ(EndOf(process), expected[i]);
  }
}

}  // namespace
