// The crash handler takes effect by being linked into an executable: a static initializer hooks
// the fatal signals and std::terminate. The program never calls it.
//
// In the dying process only async-signal-safe work is done: the facts are handed to
// norvalis-crash, which gathers the report from outside while this process waits, and then the
// signal takes its default course so the exit status and any core dump stay truthful.

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "crash/AltStack.h"
#include "crash/CrashHandover.h"
#include "crash/CrashOptions.h"
#include "crash/CurrentException.h"
#include "crash/SignalSafeText.h"

namespace norvalis::crash {

namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// Long enough for the helper to unwind every thread, short enough that a stuck helper lets go.
constexpr int HelperTimeoutMs = 60 * 1000;

constexpr char HandoverArgumentText[] = "--handover-fd=3";
constexpr char HelperNameText[] = "norvalis-crash";
static_assert(HandoverArgumentText == HandoverFdArgument);
static_assert(HelperNameText == HelperName);
const char* const HelperArguments[] = {HelperNameText, HandoverArgumentText, nullptr};

// Everything the handler needs is prepared here before anything can crash.
char helperPath[PATH_MAX];
char exceptionText[1024];
std::atomic<pid_t> owner{0};  // the thread reporting the crash
std::atomic<bool> reporting{false};

struct Register {
  const char* name;
  int index;
};

#if defined(__x86_64__)
constexpr Register Registers[] = {
    {"rax", REG_RAX},       {"rbx", REG_RBX},    {"rcx", REG_RCX}, {"rdx", REG_RDX},
    {"rsi", REG_RSI},       {"rdi", REG_RDI},    {"rbp", REG_RBP}, {"rsp", REG_RSP},
    {"r8", REG_R8},         {"r9", REG_R9},      {"r10", REG_R10}, {"r11", REG_R11},
    {"r12", REG_R12},       {"r13", REG_R13},    {"r14", REG_R14}, {"r15", REG_R15},
    {"rip", REG_RIP},       {"eflags", REG_EFL}, {"cr2", REG_CR2}, {"err", REG_ERR},
    {"trapno", REG_TRAPNO},
};

void AddRegisters(SignalSafeText& text, const ucontext_t& context) {
  for (const Register& r : Registers) {
    text.Add(RegisterPrefix).Add(r.name).Add("=");
    text.Hex(static_cast<std::uint64_t>(context.uc_mcontext.gregs[r.index])).Add("\n");
  }
}
#elif defined(__aarch64__)
void AddRegisters(SignalSafeText& text, const ucontext_t& context) {
  for (int i = 0; i < 31; ++i)
    text.Add(RegisterPrefix)
        .Add("x")
        .Decimal(i)
        .Add("=")
        .Hex(context.uc_mcontext.regs[i])
        .Add("\n");
  text.Add(RegisterPrefix).Add("sp=").Hex(context.uc_mcontext.sp).Add("\n");
  text.Add(RegisterPrefix).Add("pc=").Hex(context.uc_mcontext.pc).Add("\n");
  text.Add(RegisterPrefix).Add("pstate=").Hex(context.uc_mcontext.pstate).Add("\n");
}
#else
void AddRegisters(SignalSafeText&, const ucontext_t&) {}
#endif

pid_t CurrentThread() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

bool IsFault(int signal, const siginfo_t* info) {
  return info != nullptr && info->si_code > 0 && signal != SIGABRT;
}

void AddOption(SignalSafeText& text, std::string_view key, bool value) {
  text.Add(OptionPrefix).Add(key).Add(value ? "=1\n" : "=0\n");
}

void AddOption(SignalSafeText& text, std::string_view key, const char* value) {
  text.Add(OptionPrefix).Add(key).Add("=").AddLine(value).Add("\n");
}

void WriteHandover(SignalSafeText& text, int signal, const siginfo_t* info, const void* context,
                   pid_t thread) {
  text.Add(KeyPid).Add("=").Decimal(getpid()).Add("\n");
  text.Add(KeyTid).Add("=").Decimal(thread).Add("\n");
  text.Add(KeySignal).Add("=").Decimal(signal).Add("\n");
  if (info != nullptr) {
    text.Add(KeyCode).Add("=").Decimal(info->si_code).Add("\n");
    if (IsFault(signal, info))
      text.Add(KeyAddress).Add("=").Hex(reinterpret_cast<std::uintptr_t>(info->si_addr)).Add("\n");
    if (info->si_code == SI_USER || info->si_code == SI_TKILL)
      text.Add(KeySender).Add("=").Decimal(info->si_pid).Add("\n");
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  text.Add(KeyTime).Add("=").Decimal(now.tv_sec).Add("\n");
  if (exceptionText[0] != '\0') text.Add(KeyException).Add("=").AddLine(exceptionText).Add("\n");
  if (context != nullptr) AddRegisters(text, *static_cast<const ucontext_t*>(context));
  const CrashOptions& options = ExecutableCrashOptions;
  AddOption(text, OptionDialog, options.dialog);
  AddOption(text, OptionCopy, options.copyButton);
  AddOption(text, OptionScreenshot, options.screenshotButton);
  AddOption(text, OptionLog, options.logButton);
  AddOption(text, OptionSend, options.sendButton);
  AddOption(text, OptionRestart, options.restartButton);
  AddOption(text, OptionAutoLog, options.autoLog);
  AddOption(text, OptionMail, options.mailAddress);
  AddOption(text, OptionProgram, options.program);
  AddOption(text, OptionVersion, options.version);
}

void SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

long MillisecondsSince(const timespec& start) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Until the helper closes its end (done, or dead) or the time is up.
void WaitForRelease(int fd) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (true) {
    const long remaining = HelperTimeoutMs - MillisecondsSince(start);
    if (remaining <= 0) return;
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(remaining));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return;
    char byte = 0;
    const ssize_t got = read(fd, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
  }
}

pid_t StartHelper(int handoverEnd) {
  const pid_t helper = vfork();
  if (helper == 0) {
    // The handler's blocked signals would pass to the helper and to a program it restarts.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (handoverEnd == HandoverFd) {
      fcntl(HandoverFd, F_SETFD, 0);
    } else {
      dup2(handoverEnd, HandoverFd);
    }
    execve(helperPath, const_cast<char* const*>(HelperArguments), environ);
    _exit(127);
  }
  return helper;
}

void HandToHelper(int signal, const siginfo_t* info, const void* context, pid_t thread) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
  const pid_t helper = StartHelper(ends[1]);
  close(ends[1]);
  if (helper < 0) {
    close(ends[0]);
    return;
  }
  // Under Yama's default scope a child may trace its parent only when the parent allows it.
  prctl(PR_SET_PTRACER, helper, 0, 0, 0);
  static char buffer[16384];
  SignalSafeText text(buffer, sizeof buffer);
  WriteHandover(text, signal, info, context, thread);
  SendAll(ends[0], text.Data(), text.Size());
  shutdown(ends[0], SHUT_WR);
  WaitForRelease(ends[0]);
  close(ends[0]);
}

// The signal's default action from here on: the process ends with it.
void DieWith(int signal, const siginfo_t* info) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  // A fault comes back when the instruction runs again; a sent signal must be sent again.
  if (!IsFault(signal, info)) {
    syscall(SYS_tgkill, getpid(), CurrentThread(), signal);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

[[noreturn]] void WaitForTheEnd() {
  while (true)
    pause();
}

// Also reached by a direct call from another handler that forwards a signal it does not own.
void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  const pid_t self = CurrentThread();
  pid_t expected = 0;
  // A second thread crashing meanwhile waits: the first one's end is the end of both.
  if (!owner.compare_exchange_strong(expected, self) && expected != self) WaitForTheEnd();
  if (!reporting.exchange(true)) HandToHelper(signal, info, context, self);
  DieWith(signal, info);
  errno = savedErrno;
}

// An exception nothing catches: its description travels with the SIGABRT of abort().
[[noreturn]] void OnTerminate() {
  const pid_t self = CurrentThread();
  pid_t expected = 0;
  if (!owner.compare_exchange_strong(expected, self) && expected != self) WaitForTheEnd();
  if (!reporting.load()) DescribeCurrentException(exceptionText, sizeof exceptionText - 1);
  std::abort();
}

// The helper lies beside the executable; the build tree has it in a known place instead.
void FindHelper() {
  char exe[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    exe[length] = '\0';
    char* slash = std::strrchr(exe, '/');
    const std::size_t folder = slash == nullptr ? 0 : static_cast<std::size_t>(slash - exe) + 1;
    if (folder + sizeof HelperNameText <= sizeof helperPath) {
      std::memcpy(helperPath, exe, folder);
      std::memcpy(helperPath + folder, HelperNameText, sizeof HelperNameText);
      if (access(helperPath, X_OK) == 0) return;
    }
  }
#ifdef NORVALIS_CRASH_BUILD_HELPER
  std::strncpy(helperPath, NORVALIS_CRASH_BUILD_HELPER, sizeof helperPath - 1);
#endif
}

void InstallHandlers() {
  FindHelper();
  static const AltStack mainThreadStack;
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  // A second fatal signal during the report is then fatal at once instead of re-entering.
  for (int signal : FatalSignals)
    sigaddset(&action.sa_mask, signal);
  for (int signal : FatalSignals)
    sigaction(signal, &action, nullptr);
  std::set_terminate(OnTerminate);
}

struct Installer {
  Installer() { InstallHandlers(); }
} installer;

}  // namespace

}  // namespace norvalis::crash
