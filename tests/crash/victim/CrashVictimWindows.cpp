// Crashes on purpose, in each way the Windows crash handler must report; linked with the handler
// like the programs themselves. Before crashing it prints where its crashing function lies in
// its own module ("crashing=0x<offset>"), so a test can find that frame in the report.
// Usage: crash-victim null-write | second-thread | stack-overflow | throw | mapped-guard |
//        guarded FILE | crash-once MARKER
// (stack-overflow hangs under Wine 8 before any filter runs: no test uses it there)

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/Console.h"
#include "platform/File.h"
#include "platform/FileName.h"
#include "platform/MappedFile.h"

namespace {

std::atomic<bool> mainThreadRunning{false};

void PrintOffset(const void* function) {
  const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
  std::printf("crashing=0x%llx\n",
              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(function) - base));
  std::fflush(stdout);
}

[[gnu::noipa]] void VictimWriteNull(volatile int* target) {
  *target = 42;
}

[[gnu::noipa]] void VictimSecondThreadWrite() {
  while (!mainThreadRunning.load())
    std::this_thread::yield();
  VictimWriteNull(nullptr);
  asm volatile("" ::: "memory");
}

[[gnu::noipa]] int VictimRecurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;
  return VictimRecurse(depth + 1) + frame[0];
}

[[gnu::noipa]] void VictimThrow() {
  throw std::runtime_error("作業スレッドの例外");
}

// The mapped-file guard's exception is continued before any filter sees it; this one is not in
// a guarded view, so it must end in a report.
[[gnu::noipa]] void VictimRaisePageError() {
  RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 0, nullptr);
  // Not a tail call: this function stays in the crashed thread's stack.
  asm volatile("" ::: "memory");
}

// A lost page of a mapped file, as a vanished volume gives it: the guard's, so the program goes
// on and reads zeros. Prints "guarded=<lost> <first byte>".
int ReadLostMappedPage(const char* path) {
  norvalis::platform::File file;
  int error = norvalis::platform::File::Open(path, file);
  if (error != 0) return 3;
  auto mapped = norvalis::platform::MappedFile::Map(file, 4096, error);
  if (mapped == nullptr) return 3;
  const ULONG_PTR information[] = {0, reinterpret_cast<ULONG_PTR>(mapped->View().data())};
  RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 2, information);
  std::printf("guarded=%d %d\n", mapped->PageLost() ? 1 : 0, mapped->View()[0]);
  return 0;
}

// Crashes when MARKER is not there yet, after making it; started again (by the dialog's restart,
// with the same arguments), writes "restarted <working folder>" into it and ends.
int CrashOnce(const std::string& marker) {
  const std::wstring path = norvalis::platform::ToNativeFileName(marker);
  const HANDLE created = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created != INVALID_HANDLE_VALUE) {
    CloseHandle(created);
    PrintOffset(reinterpret_cast<const void*>(&VictimWriteNull));
    VictimWriteNull(nullptr);
  }
  wchar_t folder[MAX_PATH * 4];
  if (GetCurrentDirectoryW(MAX_PATH * 4, folder) >= MAX_PATH * 4) return 3;
  const std::string text = "restarted " + norvalis::platform::FromNativeFileName(folder);
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A marker's name may hold what no ANSI code page spells.
  const auto arguments = norvalis::platform::CommandLineArguments(argc, argv);
  if (arguments.size() == 2 && arguments[0] == "crash-once") return CrashOnce(arguments[1]);
  if (argc == 3 && std::strcmp(argv[1], "guarded") == 0) return ReadLostMappedPage(argv[2]);
  if (argc != 2) return 2;
  const char* mode = argv[1];
  if (std::strcmp(mode, "null-write") == 0) {
    PrintOffset(reinterpret_cast<const void*>(&VictimWriteNull));
    VictimWriteNull(nullptr);
  } else if (std::strcmp(mode, "second-thread") == 0) {
    PrintOffset(reinterpret_cast<const void*>(&VictimWriteNull));
    std::thread worker(VictimSecondThreadWrite);
    volatile unsigned long spins = 0;
    while (true) {
      mainThreadRunning.store(true);
      spins = spins + 1;
    }
  } else if (std::strcmp(mode, "stack-overflow") == 0) {
    PrintOffset(reinterpret_cast<const void*>(&VictimRecurse));
    return VictimRecurse(0);
  } else if (std::strcmp(mode, "throw") == 0) {
    PrintOffset(reinterpret_cast<const void*>(&VictimThrow));
    std::thread(VictimThrow).join();
  } else if (std::strcmp(mode, "mapped-guard") == 0) {
    PrintOffset(reinterpret_cast<const void*>(&VictimRaisePageError));
    VictimRaisePageError();
  }
  return 2;
}
