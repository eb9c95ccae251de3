#include "CrashReportWindows.h"

// clang-format off
#include <dbghelp.h>
#include <tlhelp32.h>
// clang-format on

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "crash/CrashOptions.h"
#include "HexText.h"
#include "platform/FileName.h"

namespace norvalis::crash {

namespace {

constexpr int MaxFrames = 128;
constexpr std::size_t MaxRemoteText = 1024;
constexpr std::uint64_t MachineCodeBefore = 32;
constexpr std::uint64_t MachineCodeAfter = 48;

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();
  return out;
}

std::string Line(const char* label, const std::string& value) {
  return std::string(label) + ": " + value + "\n";
}

template <typename T>
bool ReadRemote(HANDLE process, std::uint64_t address, T& value) {
  SIZE_T got = 0;
  return address != 0 &&
         ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), &value, sizeof value,
                           &got) &&
         got == sizeof value;
}

// A NUL-terminated text of the other process, read in small pieces so a piece that ends in an
// unreadable page loses only itself.
std::string ReadRemoteText(HANDLE process, std::uint64_t address) {
  std::string text;
  char piece[64];
  while (address != 0 && text.size() < MaxRemoteText) {
    if (!ReadRemote(process, address, piece)) break;
    const auto end = std::find(std::begin(piece), std::end(piece), '\0');
    text.append(piece, end);
    if (end != std::end(piece)) break;
    address += sizeof piece;
  }
  return text;
}

// The same for UTF-16 text.
std::wstring ReadRemoteWideText(HANDLE process, std::uint64_t address) {
  std::wstring text;
  wchar_t piece[32];
  while (address != 0 && text.size() < MaxRemoteText * 32) {
    if (!ReadRemote(process, address, piece)) break;
    const auto end = std::find(std::begin(piece), std::end(piece), L'\0');
    text.append(piece, end);
    if (end != std::end(piece)) break;
    address += sizeof piece;
  }
  return text;
}

HandoverOptions ToHandoverOptions(HANDLE process, const CrashOptions& block) {
  HandoverOptions options;
  options.dialog = block.dialog;
  options.copy = block.copyButton;
  options.screenshot = block.screenshotButton;
  options.log = block.logButton;
  options.send = block.sendButton;
  options.restart = block.restartButton;
  options.autoLog = block.autoLog;
  options.mail = ReadRemoteText(process, reinterpret_cast<std::uintptr_t>(block.mailAddress));
  options.program = ReadRemoteText(process, reinterpret_cast<std::uintptr_t>(block.program));
  options.version = ReadRemoteText(process, reinterpret_cast<std::uintptr_t>(block.version));
  return options;
}

struct Symbol {
  std::uint64_t offset;  // from the module's base
  std::string name;
};

struct Module {
  std::uint64_t base;
  std::uint64_t size;
  std::string name;
  std::string path;
  std::vector<Symbol> functions;  // by offset; empty without a symbol list
};

// Our programs' functions from "<program>.sym" beside them, which the build writes: the image
// base the linker chose, then the symbol table as nm -C prints it ("<address> <type> <name>").
std::vector<Symbol> ReadSymbolList(const std::string& modulePath) {
  const std::size_t dot = modulePath.find_last_of('.');
  if (dot == std::string::npos || modulePath.find_first_of("\\/", dot) != std::string::npos)
    return {};
  std::ifstream in(
      std::filesystem::path(platform::ToNativeFileName(modulePath.substr(0, dot) + ".sym")));
  std::string line;
  std::uint64_t base = 0;
  if (!std::getline(in, line) || std::sscanf(line.c_str(), "ImageBase %" SCNx64, &base) != 1)
    return {};
  std::vector<Symbol> functions;
  while (std::getline(in, line)) {
    const std::size_t type = line.find(' ') + 1;
    if (type == 0 || type + 2 > line.size() || line[type + 1] != ' ') continue;
    // Code only: t and T, and W for the inline functions and templates every object may hold.
    if (std::string_view("tTW").find(line[type]) == std::string_view::npos) continue;
    // Not the sections' own symbols (".text"), which start where their first function does.
    if (line.compare(type + 2, 1, ".") == 0) continue;
    char* end = nullptr;
    const std::uint64_t address = std::strtoull(line.c_str(), &end, 16);
    if (end != line.c_str() + type - 1 || address < base) continue;
    functions.push_back({address - base, line.substr(type + 2)});
  }
  std::sort(functions.begin(), functions.end(),
            [](const Symbol& a, const Symbol& b) { return a.offset < b.offset; });
  return functions;
}

// The function an offset of the module lies in: the last that starts at or before it.
const Symbol* FunctionAt(const Module& module, std::uint64_t offset) {
  const auto after = std::upper_bound(
      module.functions.begin(), module.functions.end(), offset,
      [](std::uint64_t value, const Symbol& symbol) { return value < symbol.offset; });
  return after == module.functions.begin() ? nullptr : &*(after - 1);
}

std::vector<Module> ListModules(DWORD pid) {
  std::vector<Module> modules;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return modules;
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
    const std::string path = Utf8(entry.szExePath);
    modules.push_back({reinterpret_cast<std::uintptr_t>(entry.modBaseAddr), entry.modBaseSize,
                       Utf8(entry.szModule), path, ReadSymbolList(path)});
  }
  CloseHandle(snapshot);
  std::sort(modules.begin(), modules.end(),
            [](const Module& a, const Module& b) { return a.base < b.base; });
  return modules;
}

const Module* ModuleOf(const std::vector<Module>& modules, std::uint64_t address) {
  for (const Module& module : modules)
    if (address >= module.base && address - module.base < module.size) return &module;
  return nullptr;
}

// "crash-victim.exe+0x1a2b VictimWriteNull()+0x4": the module and offset always, the name from
// the module's symbol list (our programs) or where dbghelp knows it (the system DLLs; mingw's
// DWARF it cannot read).
std::string DescribeAddress(HANDLE process, const std::vector<Module>& modules,
                            std::uint64_t address, std::uint64_t lookup) {
  std::string text;
  const Module* module = ModuleOf(modules, address);
  if (module == nullptr) return "(モジュール外)";
  text = module->name + "+" + ShortHex(address - module->base);
  if (!module->functions.empty()) {
    if (const Symbol* function = FunctionAt(*module, lookup - module->base))
      text += " " + function->name + "+" + ShortHex(address - module->base - function->offset);
    return text;
  }
  alignas(SYMBOL_INFOW) char buffer[sizeof(SYMBOL_INFOW) + 512 * sizeof(wchar_t)] = {};
  auto* symbol = reinterpret_cast<SYMBOL_INFOW*>(buffer);
  symbol->SizeOfStruct = sizeof(SYMBOL_INFOW);
  symbol->MaxNameLen = 512;
  DWORD64 displacement = 0;
  if (SymFromAddrW(process, lookup, &displacement, symbol) && symbol->Name[0] != L'\0')
    text += " " + Utf8(symbol->Name) + "+" + ShortHex(address - symbol->Address);
  return text;
}

struct Thread {
  DWORD id;
  HANDLE handle;
};

std::vector<Thread> OpenThreads(DWORD pid) {
  std::vector<Thread> threads;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return threads;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    const HANDLE handle =
        OpenThread(THREAD_GET_CONTEXT | THREAD_SUSPEND_RESUME | THREAD_QUERY_INFORMATION, FALSE,
                   entry.th32ThreadID);
    threads.push_back({entry.th32ThreadID, handle});
  }
  CloseHandle(snapshot);
  return threads;
}

std::string WalkStack(HANDLE process, HANDLE thread, CONTEXT context,
                      const std::vector<Module>& modules) {
  STACKFRAME64 frame{};
  frame.AddrPC.Offset = context.Rip;
  frame.AddrPC.Mode = AddrModeFlat;
  frame.AddrStack.Offset = context.Rsp;
  frame.AddrStack.Mode = AddrModeFlat;
  frame.AddrFrame.Offset = context.Rbp;
  frame.AddrFrame.Mode = AddrModeFlat;
  std::string text;
  for (int i = 0; i < MaxFrames; ++i) {
    if (!StackWalk64(IMAGE_FILE_MACHINE_AMD64, process, thread, &frame, &context, nullptr,
                     SymFunctionTableAccess64, SymGetModuleBase64, nullptr))
      break;
    const std::uint64_t pc = frame.AddrPC.Offset;
    if (pc == 0) break;
    char number[16];
    std::snprintf(number, sizeof number, "#%-3d ", i);
    // A return address names the instruction after the call: the call is what the frame ran.
    text += std::string("  ") + number + Hex(pc) + "  " +
            DescribeAddress(process, modules, pc, i == 0 ? pc : pc - 1) + "\n";
  }
  return text.empty() ? "  (呼び出し履歴を辿れません)\n" : text;
}

std::string Registers(const CONTEXT& c) {
  const std::pair<const char*, std::uint64_t> registers[] = {
      {"rax", c.Rax}, {"rbx", c.Rbx}, {"rcx", c.Rcx},       {"rdx", c.Rdx},  {"rsi", c.Rsi},
      {"rdi", c.Rdi}, {"rbp", c.Rbp}, {"rsp", c.Rsp},       {"r8", c.R8},    {"r9", c.R9},
      {"r10", c.R10}, {"r11", c.R11}, {"r12", c.R12},       {"r13", c.R13},  {"r14", c.R14},
      {"r15", c.R15}, {"rip", c.Rip}, {"eflags", c.EFlags}, {"cs", c.SegCs}, {"ss", c.SegSs}};
  std::string text;
  for (const auto& [name, value] : registers) {
    char line[64];
    std::snprintf(line, sizeof line, "%-8s %s\n", name, Hex(value).c_str());
    text += line;
  }
  return text;
}

// Bytes around the instruction as hex rows; Windows has no disassembler in the helper.
std::string MachineCode(HANDLE process, std::uint64_t pc, const std::vector<Module>& modules) {
  std::string text;
  for (std::uint64_t row = pc - MachineCodeBefore; row < pc + MachineCodeAfter; row += 16) {
    unsigned char bytes[16];
    if (!ReadRemote(process, row, bytes)) continue;
    text += Hex(row) + (row <= pc && pc < row + 16 ? " =>" : "   ");
    for (std::uint64_t i = 0; i < 16; ++i) {
      char byte[8];
      std::snprintf(byte, sizeof byte, row + i == pc ? " [%02x]" : " %02x", bytes[i]);
      text += byte;
    }
    text += "\n";
  }
  const std::string place = ShortHex(pc) + " " + DescribeAddress(process, modules, pc, pc);
  if (text.empty()) return "命令アドレス " + place + " のメモリを読めません。\n";
  return "命令アドレス " + place + "\n（Windows 版は逆アセンブルせず、バイト列を示します）\n\n" +
         text;
}

std::string Processes(DWORD crashed) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return "プロセスの一覧を取得できません。\n";
  std::string text = "     PID  親PID    名前\n";
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    char line[64];
    std::snprintf(line, sizeof line, "%8lu  %6lu  ", entry.th32ProcessID,
                  entry.th32ParentProcessID);
    text += line + Utf8(entry.szExeFile) +
            (entry.th32ProcessID == crashed ? "  ← 停止したプロセス" : "") + "\n";
  }
  CloseHandle(snapshot);
  return text;
}

std::string LocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  return text;
}

std::optional<std::uint64_t> NumberAfter(const std::string& argument, const char* prefix) {
  const std::string start(prefix);
  if (!argument.starts_with(start) || argument.size() == start.size()) return std::nullopt;
  const std::string digits = argument.substr(start.size());
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits.c_str(), &end, 0);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace

std::optional<CrashArguments> ParseCrashArguments(const std::vector<std::string>& arguments) {
  CrashArguments crash;
  bool pid = false, tid = false, pointers = false;
  for (const std::string& argument : arguments) {
    if (auto v = NumberAfter(argument, "--pid=")) {
      crash.pid = static_cast<DWORD>(*v);
      pid = *v != 0 && *v <= MAXDWORD;
    } else if (auto v = NumberAfter(argument, "--tid=")) {
      crash.tid = static_cast<DWORD>(*v);
      tid = *v != 0 && *v <= MAXDWORD;
    } else if (auto v = NumberAfter(argument, "--pointers=")) {
      crash.pointers = *v;
      pointers = *v != 0;
    } else if (auto v = NumberAfter(argument, "--exception=")) {
      crash.exceptionText = *v;
    } else if (auto v = NumberAfter(argument, "--options=")) {
      crash.options = *v;
    } else if (auto v = NumberAfter(argument, "--done=")) {
      crash.done = *v;
    } else if (auto v = NumberAfter(argument, "--command-line=")) {
      crash.commandLine = *v;
    } else if (auto v = NumberAfter(argument, "--directory=")) {
      crash.directory = *v;
    } else {
      return std::nullopt;
    }
  }
  if (!pid || !tid || !pointers) return std::nullopt;
  return crash;
}

std::string DescribeException(DWORD code) {
  static const std::pair<DWORD, const char*> names[] = {
      {EXCEPTION_ACCESS_VIOLATION, "EXCEPTION_ACCESS_VIOLATION（不正なメモリアクセス）"},
      {EXCEPTION_IN_PAGE_ERROR, "EXCEPTION_IN_PAGE_ERROR（ページを読み込めない）"},
      {EXCEPTION_STACK_OVERFLOW, "EXCEPTION_STACK_OVERFLOW（スタックの溢れ）"},
      {EXCEPTION_ILLEGAL_INSTRUCTION, "EXCEPTION_ILLEGAL_INSTRUCTION（不正な命令）"},
      {EXCEPTION_PRIV_INSTRUCTION, "EXCEPTION_PRIV_INSTRUCTION（特権命令）"},
      {EXCEPTION_INT_DIVIDE_BY_ZERO, "EXCEPTION_INT_DIVIDE_BY_ZERO（ゼロ除算）"},
      {EXCEPTION_DATATYPE_MISALIGNMENT,
       "EXCEPTION_DATATYPE_MISALIGNMENT（境界に合わないアクセス）"},
      {EXCEPTION_BREAKPOINT, "EXCEPTION_BREAKPOINT（ブレークポイント）"},
      {0xE0000001, "異常終了（処理されない例外または abort）"},
  };
  for (const auto& [known, name] : names)
    if (known == code) return name;
  char text[32];
  std::snprintf(text, sizeof text, "例外コード 0x%08lx", code);
  return text;
}

WindowsCrashReport GatherReport(HANDLE process, const CrashArguments& crash) {
  WindowsCrashReport report;
  EXCEPTION_POINTERS pointers{};
  EXCEPTION_RECORD record{};
  alignas(16) CONTEXT crashContext{};
  const bool haveRecord =
      ReadRemote(process, crash.pointers, pointers) &&
      ReadRemote(process, reinterpret_cast<std::uintptr_t>(pointers.ExceptionRecord), record);
  const bool haveContext =
      haveRecord &&
      ReadRemote(process, reinterpret_cast<std::uintptr_t>(pointers.ContextRecord), crashContext);
  CrashOptions block{};
  // Without its block the report is still written, without a dialog.
  if (ReadRemote(process, crash.options, block)) {
    report.options = ToHandoverOptions(process, block);
  } else {
    report.options.program.clear();
  }
  const std::string& version = report.options.version;
  wchar_t imageName[MAX_PATH * 4];
  DWORD imageLength = MAX_PATH * 4;
  std::string executable;
  if (QueryFullProcessImageNameW(process, 0, imageName, &imageLength)) {
    report.executable = imageName;
    executable = Utf8(imageName);
  }
  report.commandLine = ReadRemoteWideText(process, crash.commandLine);
  report.workingDirectory = ReadRemoteWideText(process, crash.directory);
  if (report.options.program.empty())
    report.options.program = executable.substr(executable.find_last_of("\\/") + 1);

  SymSetOptions(SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_FAIL_CRITICAL_ERRORS);
  const bool symbols = SymInitializeW(process, nullptr, TRUE);
  const std::vector<Module> modules = ListModules(crash.pid);

  std::string summary = Line("プログラム", report.options.program + " (" + executable + ")");
  summary += Line("バージョン", version.empty() ? "不明" : version);
  summary += Line("日時", LocalTime());
  if (haveRecord) {
    std::string exception = DescribeException(record.ExceptionCode);
    if ((record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION ||
         record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
        record.NumberParameters >= 2) {
      const ULONG_PTR kind = record.ExceptionInformation[0];
      exception += std::string("、") +
                   (kind == 1   ? "書き込み"
                    : kind == 8 ? "実行"
                                : "読み取り") +
                   " アドレス " + ShortHex(record.ExceptionInformation[1]);
    }
    summary += Line("例外", exception);
    const auto at = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    summary += Line("命令アドレス", ShortHex(at) + " " + DescribeAddress(process, modules, at, at));
  } else {
    summary += Line("調査できない理由", "例外の記録を読めません");
  }
  const std::string exceptionText = ReadRemoteText(process, crash.exceptionText);
  if (!exceptionText.empty()) summary += Line("処理されない例外", exceptionText);
  summary += Line("スレッド", std::to_string(crash.tid));
  summary += Line("プロセスID", std::to_string(crash.pid));
  if (!report.commandLine.empty())
    summary += Line("コマンドライン", Utf8(report.commandLine.c_str()));
  if (!report.workingDirectory.empty())
    summary += Line("作業フォルダー", Utf8(report.workingDirectory.c_str()));
  report.pages.push_back({"概要", summary});

  // Every thread but the crashed one stands still while it is walked; the crashed one waits in
  // the filter, and its stack is the exception's context.
  std::vector<Thread> threads = OpenThreads(crash.pid);
  // The crashed thread first, as on Linux: the cause at the top of the page.
  std::stable_partition(threads.begin(), threads.end(),
                        [&crash](const Thread& thread) { return thread.id == crash.tid; });
  std::string stacks;
  for (const Thread& thread : threads) {
    stacks += "スレッド " + std::to_string(thread.id);
    if (thread.id == crash.tid) stacks += " ― 停止の原因";
    stacks += "\n";
    alignas(16) CONTEXT context{};
    bool known = false;
    if (thread.id == crash.tid) {
      context = crashContext;
      known = haveContext;
    } else if (thread.handle != nullptr && SuspendThread(thread.handle) != DWORD(-1)) {
      context.ContextFlags = CONTEXT_FULL;
      known = GetThreadContext(thread.handle, &context);
    }
    stacks += known && symbols ? WalkStack(process, thread.handle, context, modules)
                               : "  (スレッドの状態を読めません)\n";
    stacks += "\n";
  }
  for (const Thread& thread : threads) {
    if (thread.handle == nullptr) continue;
    if (thread.id != crash.tid) ResumeThread(thread.handle);
    CloseHandle(thread.handle);
  }
  report.pages.push_back(
      {"呼び出し履歴", stacks.empty() ? "呼び出し履歴を取得できません。\n" : stacks});

  std::string moduleText;
  for (const Module& module : modules)
    moduleText +=
        Hex(module.base) + "-" + Hex(module.base + module.size) + "  " + module.path + "\n";
  report.pages.push_back(
      {"モジュール", moduleText.empty() ? "モジュールを取得できません。\n" : moduleText});
  report.pages.push_back({"プロセス", Processes(crash.pid)});
  report.pages.push_back(
      {"CPUレジスタ", haveContext ? Registers(crashContext) : "レジスタの内容を読めません。\n"});
  report.pages.push_back({"機械語", haveContext ? MachineCode(process, crashContext.Rip, modules)
                                                : "命令アドレスを読めません。\n"});
  if (symbols) SymCleanup(process);
  return report;
}

void ReleaseProcess(HANDLE process, const CrashArguments& crash) {
  HANDLE done = nullptr;
  if (crash.done == 0 ||
      !DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(crash.done)),
                       GetCurrentProcess(), &done, EVENT_MODIFY_STATE, FALSE, 0))
    return;
  SetEvent(done);
  CloseHandle(done);
}

bool WriteMinidump(HANDLE process, const CrashArguments& crash, const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  MINIDUMP_EXCEPTION_INFORMATION exception{};
  exception.ThreadId = crash.tid;
  exception.ExceptionPointers = reinterpret_cast<EXCEPTION_POINTERS*>(crash.pointers);
  // The pointers are the dying process's own.
  exception.ClientPointers = TRUE;
  const bool written = MiniDumpWriteDump(
      process, crash.pid, file, static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo),
      &exception, nullptr, nullptr);
  CloseHandle(file);
  if (!written) DeleteFileW(path.c_str());
  return written;
}

}  // namespace norvalis::crash
