#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HandoverOptions.h"
#include "ReportPage.h"

namespace norvalis::crash {

// What the dying process puts on the helper's command line: its ids, the addresses, in its own
// memory, of the exception pointers, the unhandled exception's text, its options block, its
// command line and working directory, and the event that lets it end before the dialog shows.
struct CrashArguments {
  DWORD pid = 0;
  DWORD tid = 0;
  std::uint64_t pointers = 0;
  std::uint64_t exceptionText = 0;
  std::uint64_t options = 0;
  std::uint64_t done = 0;
  std::uint64_t commandLine = 0;
  std::uint64_t directory = 0;
};

// The arguments after the program's name, or nothing when one is missing or malformed.
std::optional<CrashArguments> ParseCrashArguments(const std::vector<std::string>& arguments);

struct WindowsCrashReport {
  std::vector<ReportPage> pages;
  // The options block; its program is the executable's file name when the block names none.
  HandoverOptions options;
  // What restarting needs; empty when unknown.
  std::wstring executable;
  std::wstring commandLine;
  std::wstring workingDirectory;
};

// Gathers the report of the waiting process from outside; its other threads are suspended
// while their stacks are walked.
WindowsCrashReport GatherReport(HANDLE process, const CrashArguments& crash);

// Lets the waiting process end: sets the event it handed over.
void ReleaseProcess(HANDLE process, const CrashArguments& crash);

// Writes the process's minidump with the crashing thread's exception; false when that fails.
bool WriteMinidump(HANDLE process, const CrashArguments& crash, const std::wstring& path);

// "EXCEPTION_ACCESS_VIOLATION（不正なメモリアクセス）" for an exception code.
std::string DescribeException(DWORD code);

}  // namespace norvalis::crash
