// Crashes on purpose, in each way the crash handler must report; linked with the handler like
// the programs themselves.
// Usage: crash-victim null-write | abort | worker-throw | second-thread | stack-overflow |
//        forwarded-bus

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace {

std::atomic<bool> mainThreadRunning{false};

[[gnu::noipa]] void VictimWriteNull(volatile int* target) {
  *target = 42;
}

[[gnu::noipa]] void VictimAbort() {
  std::abort();
}

[[gnu::noipa]] void VictimThrowingWorker() {
  throw std::runtime_error("作業スレッドの例外");
}

[[gnu::noipa]] void VictimSecondThreadWrite() {
  while (!mainThreadRunning.load())
    std::this_thread::yield();
  VictimWriteNull(nullptr);
  // Not a tail call: this function stays in the crashed thread's stack.
  asm volatile("" ::: "memory");
}

// Runs out of stack: the handler must still run, on its own stack.
[[gnu::noipa]] int VictimRecurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;
  return VictimRecurse(depth + 1) + frame[0];
}

struct sigaction handlerBefore {};

// Stands for a later handler of its own mapped files that passes on a SIGBUS it does not own by
// calling the handler it replaced.
void ForwardBus(int signal, siginfo_t* info, void* context) {
  handlerBefore.sa_sigaction(signal, info, context);
}

// Reads the page of a mapping that lies past the end of its file: SIGBUS.
[[gnu::noipa]] int VictimReadPastMappedEnd() {
  struct sigaction forward {};
  forward.sa_sigaction = ForwardBus;
  forward.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigaction(SIGBUS, &forward, &handlerBefore);
  char name[] = "/tmp/crash-victim-XXXXXX";
  const int fd = mkstemp(name);
  unlink(name);
  const long page = sysconf(_SC_PAGESIZE);
  if (fd < 0 || ftruncate(fd, page) != 0) return 3;
  void* mapped = mmap(nullptr, 2 * page, PROT_READ, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED) return 3;
  return static_cast<volatile char*>(mapped)[page];
}

// Keeps the first thread busy, so the crash comes while it runs.
[[gnu::noipa, noreturn]] void VictimBusyMainThread() {
  volatile unsigned long spins = 0;
  while (true) {
    mainThreadRunning.store(true);
    spins = spins + 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "null-write") == 0) VictimWriteNull(nullptr);
  if (std::strcmp(mode, "abort") == 0) VictimAbort();
  if (std::strcmp(mode, "worker-throw") == 0) std::thread(VictimThrowingWorker).join();
  if (std::strcmp(mode, "stack-overflow") == 0) return VictimRecurse(0);
  if (std::strcmp(mode, "forwarded-bus") == 0) return VictimReadPastMappedEnd();
  if (std::strcmp(mode, "second-thread") == 0) {
    std::thread crashing(VictimSecondThreadWrite);
    crashing.detach();
    VictimBusyMainThread();
  }
  return 2;
}
