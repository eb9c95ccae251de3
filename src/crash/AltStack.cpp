#include "crash/AltStack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace norvalis::crash {

namespace {

// Room for the handler, the helper's start (vfork runs on this stack) and a guard page below.
std::size_t StackSize() {
  const long minimum = sysconf(_SC_SIGSTKSZ);
  return std::max<std::size_t>(64 * 1024, minimum > 0 ? static_cast<std::size_t>(minimum) * 4 : 0);
}

}  // namespace

AltStack::AltStack() {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t size = (StackSize() + page - 1) / page * page + page;
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  // The stack grows down: an overflow of the handler hits the guard instead of other memory.
  mprotect(memory, page, PROT_NONE);
  stack_t stack{};
  stack.ss_sp = static_cast<char*>(memory) + page;
  stack.ss_size = size - page;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, size);
    return;
  }
  memory_ = memory;
  size_ = size;
}

AltStack::~AltStack() {
  if (memory_ == nullptr) return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  // Still on it (a handler ending the thread): leave it mapped rather than pull it away.
  if (sigaltstack(&off, nullptr) != 0) return;
  munmap(memory_, size_);
}

}  // namespace norvalis::crash
