#include "platform/MappedFile.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>

namespace norvalis::platform {

namespace {

// The mappings the SIGBUS handler answers for. Fixed size and lock-free, since the handler
// may run at any moment in any thread; a slot is free while its begin is 0.
struct MappingSlot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<std::atomic<bool>*> pageLost{nullptr};
};
constexpr std::size_t SlotCount = 256;
std::array<MappingSlot, SlotCount> slots;

struct sigaction previousAction {};
std::once_flag handlerInstalled;

std::uintptr_t pageSize() {
  static const auto size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

void forwardToPrevious(int signal, siginfo_t* info, void* context) {
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
    return;
  }
  if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
    return;
  }
  // The default action: a fault recurs on return and now ends the process as it would have;
  // a signal sent by kill does not recur, so it is raised again.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  if (info == nullptr || info->si_code <= 0) ::raise(signal);
}

void onBusError(int signal, siginfo_t* info, void* context) {
  if (info != nullptr && info->si_code > 0) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (MappingSlot& slot : slots) {
      const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
      const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
      if (begin == 0 || address < begin || address >= end) continue;
      // The file lost this page and maybe more: zeros over the rest of the mapping, so the
      // read resumes and no later read of it faults again.
      const std::uintptr_t from = address & ~(pageSize() - 1);
      void* zeros = ::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
      if (zeros == MAP_FAILED) break;
      if (std::atomic<bool>* lost = slot.pageLost.load(std::memory_order_acquire)) {
        lost->store(true, std::memory_order_relaxed);
      }
      return;
    }
  }
  forwardToPrevious(signal, info, context);
}

void installHandler() {
  std::call_once(handlerInstalled, [] {
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    // On the alternate stack where a thread has one, as a crash handler would want.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
  });
}

int registerMapping(const char* data, std::uint64_t length, std::atomic<bool>* pageLost) {
  installHandler();
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t end = begin + ((length + pageSize() - 1) & ~(pageSize() - 1));
  for (std::size_t i = 0; i < SlotCount; ++i) {
    MappingSlot& slot = slots[i];
    // Claimed through end, published through begin.
    std::uintptr_t expected = 0;
    if (!slot.end.compare_exchange_strong(expected, end)) continue;
    slot.pageLost.store(pageLost, std::memory_order_release);
    slot.begin.store(begin, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

void unregisterMapping(int index) {
  if (index < 0) return;
  MappingSlot& slot = slots[static_cast<std::size_t>(index)];
  slot.begin.store(0, std::memory_order_release);
  slot.pageLost.store(nullptr, std::memory_order_release);
  slot.end.store(0, std::memory_order_release);
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::Map(const File& file, std::uint64_t size, int& error) {
  error = 0;
  void* data =
      ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, static_cast<int>(file.NativeHandle()), 0);
  if (data == MAP_FAILED) {
    error = errno;
    return nullptr;
  }
  std::unique_ptr<MappedFile> mapped(new MappedFile());
  mapped->data_ = static_cast<const char*>(data);
  mapped->size_ = size;
  mapped->slot_ = registerMapping(mapped->data_, size, &mapped->pageLost_);
  if (mapped->slot_ < 0) return nullptr;  // unmapped by the destructor
  return mapped;
}

MappedFile::~MappedFile() {
  if (data_ == nullptr) return;
  unregisterMapping(slot_);
  ::munmap(const_cast<char*>(data_), size_);
}

bool MappedFile::HoldsFile() {
  return false;
}

void MappedFile::AdviseSequential(bool sequential) const {
  ::madvise(const_cast<char*>(data_), size_, sequential ? MADV_SEQUENTIAL : MADV_NORMAL);
}

}  // namespace norvalis::platform
