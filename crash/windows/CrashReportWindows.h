#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvalis::crash {

// What the dying process puts on the helper's command line: its ids and the addresses, in its
// own memory, of the exception pointers, the unhandled exception's text and its options block.
struct CrashArguments {
  DWORD pid = 0;
  DWORD tid = 0;
  std::uint64_t pointers = 0;
  std::uint64_t exceptionText = 0;
  std::uint64_t options = 0;
};

// The arguments after the program's name, or nothing when one is missing or malformed.
std::optional<CrashArguments> ParseCrashArguments(const std::vector<std::string>& arguments);

// One page of the report: 概要, 呼び出し履歴, モジュール, プロセス, CPUレジスタ or 機械語.
struct ReportPage {
  std::string title;
  std::string text;
};

struct WindowsCrashReport {
  std::vector<ReportPage> pages;
  std::string program;  // the options block's name, else the executable's file name

  // Every page under its "== title ==" heading, as the log gets it.
  std::string Text() const;
};

// Gathers the report of the waiting process from outside; its other threads are suspended
// while their stacks are walked.
WindowsCrashReport GatherReport(HANDLE process, const CrashArguments& crash);

// Writes the process's minidump with the crashing thread's exception; false when that fails.
bool WriteMinidump(HANDLE process, const CrashArguments& crash, const std::wstring& path);

// "EXCEPTION_ACCESS_VIOLATION（不正なメモリアクセス）" for an exception code.
std::string DescribeException(DWORD code);

}  // namespace norvalis::crash
