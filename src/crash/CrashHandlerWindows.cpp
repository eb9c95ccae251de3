// The crash handler on Windows takes effect by being linked in, as on Linux: a static
// initializer sets the unhandled-exception filter and std::terminate. The program never calls it.
//
// The filter only wakes a thread started beforehand: the crashed thread may have run out of
// stack. That thread starts norvalis-crash.exe, which reads the exception from this process's
// memory and writes the minidump and the report while this process waits; then the process ends
// with the exception's code, when the helper ends or, before it shows its dialog, sets the
// event it was given. A fault the mapped-file guard owns (its vectored handler runs before
// any filter) never reaches here.

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <exception>

#include "crash/CrashHandover.h"
#include "crash/CrashOptions.h"
#include "crash/CurrentException.h"
#include "crash/SignalSafeText.h"

namespace norvalis::crash {

namespace {

// Long enough for the helper to walk every thread, short enough that a stuck helper lets go.
constexpr DWORD HelperTimeoutMs = 60 * 1000;
// Raised for an exception nothing catches and for abort(), so the filter reports them too.
constexpr DWORD TerminateCode = 0xE0000001;

constexpr wchar_t HelperFileName[] = L"norvalis-crash.exe";

wchar_t helperPath[MAX_PATH * 4];
wchar_t commandLine[MAX_PATH * 4 + 320];
wchar_t workingDirectory[MAX_PATH * 4];
char exceptionText[1024];
EXCEPTION_POINTERS* crashPointers = nullptr;
DWORD crashThread = 0;
HANDLE crashEvent = nullptr;
HANDLE helperDone = nullptr;
HANDLE reportDone = nullptr;
std::atomic<DWORD> owner{0};
// Room for a list of one handle, which needs far less on every Windows.
alignas(16) unsigned char attributeBuffer[256];

unsigned long long Address(const void* pointer) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer));
}

// The program's standard error, where norvalis-check's report must go even when it is a file or
// a pipe: an inheritable copy that is the only handle the helper inherits.
struct HelperStandardError {
  HANDLE handle = nullptr;
  LPPROC_THREAD_ATTRIBUTE_LIST attributes = nullptr;

  HelperStandardError() {
    const HANDLE own = GetStdHandle(STD_ERROR_HANDLE);
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &handle, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
      handle = nullptr;
      return;
    }
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer);
    if (size > sizeof attributeBuffer || !InitializeProcThreadAttributeList(list, 1, 0, &size))
      return;
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle,
                                   sizeof handle, nullptr, nullptr)) {
      DeleteProcThreadAttributeList(list);
      return;
    }
    attributes = list;
  }
  ~HelperStandardError() {
    if (attributes != nullptr) DeleteProcThreadAttributeList(attributes);
    if (handle != nullptr) CloseHandle(handle);
  }
};

void StartHelperAndWait() {
  // For restarting: the directory as it is now; the command line stays where Windows keeps it.
  if (GetCurrentDirectoryW(MAX_PATH * 4, workingDirectory) >= MAX_PATH * 4)
    workingDirectory[0] = L'\0';
  std::swprintf(commandLine, sizeof commandLine / sizeof commandLine[0],
                L"\"%ls\" --pid=%lu --tid=%lu --pointers=0x%llx --exception=0x%llx "
                L"--options=0x%llx --done=0x%llx --command-line=0x%llx --directory=0x%llx",
                helperPath, GetCurrentProcessId(), crashThread, Address(crashPointers),
                Address(exceptionText), Address(&ExecutableCrashOptions), Address(reportDone),
                Address(GetCommandLineW()), Address(workingDirectory));
  const HelperStandardError standardError;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdError = standardError.handle;
  DWORD flags = 0;
  if (standardError.attributes != nullptr) {
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = standardError.attributes;
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  // A window program has no console: the helper must not open one beside its dialog.
  if (GetConsoleWindow() == nullptr) flags |= CREATE_NO_WINDOW;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(helperPath, commandLine, nullptr, nullptr, standardError.handle != nullptr,
                      flags, nullptr, nullptr, &startup.StartupInfo, &process))
    return;
  const HANDLE ends[] = {process.hProcess, reportDone};
  WaitForMultipleObjects(reportDone != nullptr ? 2 : 1, ends, FALSE, HelperTimeoutMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

DWORD WINAPI WaitForCrash(void*) {
  WaitForSingleObject(crashEvent, INFINITE);
  StartHelperAndWait();
  SetEvent(helperDone);
  return 0;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const DWORD self = GetCurrentThreadId();
  DWORD expected = 0;
  // A second thread crashing meanwhile waits: the first one's end is the end of both.
  if (!owner.compare_exchange_strong(expected, self) && expected != self) Sleep(INFINITE);
  crashPointers = pointers;
  crashThread = self;
  if (crashEvent != nullptr && helperDone != nullptr) {
    SetEvent(crashEvent);
    WaitForSingleObject(helperDone, HelperTimeoutMs + 5000);
  }
  TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void OnTerminate() {
  if (owner.load() == 0) DescribeCurrentException(exceptionText, sizeof exceptionText - 1);
  RaiseException(TerminateCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  std::_Exit(3);
}

// The C runtime's abort() ends the process without an exception.
void OnAbort(int) {
  if (exceptionText[0] == '\0')
    SignalSafeText(exceptionText, sizeof exceptionText - 1).Add("abort");
  RaiseException(TerminateCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

// The helper lies beside the executable; the build tree has it in a known place instead.
void FindHelper() {
  const DWORD length = GetModuleFileNameW(nullptr, helperPath, MAX_PATH * 2);
  if (length > 0 && length < MAX_PATH * 2) {
    wchar_t* slash = std::wcsrchr(helperPath, L'\\');
    wchar_t* name = slash == nullptr ? helperPath : slash + 1;
    std::wcscpy(name, HelperFileName);
    if (GetFileAttributesW(helperPath) != INVALID_FILE_ATTRIBUTES) return;
  }
#ifdef NORVALIS_CRASH_BUILD_HELPER
  MultiByteToWideChar(CP_UTF8, 0, NORVALIS_CRASH_BUILD_HELPER, -1, helperPath, MAX_PATH * 4);
#endif
}

void InstallHandlers() {
  FindHelper();
  crashEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  helperDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  reportDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE waiter = CreateThread(nullptr, 0, WaitForCrash, nullptr, 0, nullptr);
  if (waiter != nullptr) CloseHandle(waiter);
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);
  std::signal(SIGABRT, OnAbort);
}

struct Installer {
  Installer() { InstallHandlers(); }
} installer;

}  // namespace

}  // namespace norvalis::crash
