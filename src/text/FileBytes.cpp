#include "text/FileBytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>
#include <new>

#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"

namespace norvalis {

namespace {

// The mappings the SIGBUS handler answers for. Fixed size and lock-free, since the handler
// may run at any moment in any thread; a slot is free while its begin is 0.
struct MappingSlot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<std::atomic<bool>*> stale{nullptr};
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
      if (std::atomic<bool>* stale = slot.stale.load(std::memory_order_acquire)) {
        stale->store(true, std::memory_order_relaxed);
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

int registerMapping(const char* data, std::uint64_t length, std::atomic<bool>* stale) {
  installHandler();
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t end = begin + ((length + pageSize() - 1) & ~(pageSize() - 1));
  for (std::size_t i = 0; i < SlotCount; ++i) {
    MappingSlot& slot = slots[i];
    // Claimed through end, published through begin.
    std::uintptr_t expected = 0;
    if (!slot.end.compare_exchange_strong(expected, end)) continue;
    slot.stale.store(stale, std::memory_order_release);
    slot.begin.store(begin, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

void unregisterMapping(int index) {
  if (index < 0) return;
  MappingSlot& slot = slots[static_cast<std::size_t>(index)];
  slot.begin.store(0, std::memory_order_release);
  slot.stale.store(nullptr, std::memory_order_release);
  slot.end.store(0, std::memory_order_release);
}

std::int64_t modifiedTime(const struct stat& info) {
  return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

}  // namespace

std::shared_ptr<const FileBytes> FileBytes::Open(const UnicodeString& fileName) {
  TFileUtility::OpenedFile file = TFileUtility::OpenForReading(fileName);
  std::shared_ptr<FileBytes> bytes(new FileBytes());
  bytes->path_ = ToUtf8(fileName);
  bytes->modified_ = modifiedTime(file.info);
  // FIFOs and devices could block or never end: they read as empty, as the reader does.
  if (!S_ISREG(file.info.st_mode) || file.info.st_size <= 0) return bytes;

  const auto size = static_cast<std::uint64_t>(file.info.st_size);
  TFileUtility::Testing::HoldBytes(size);
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.fd, 0);
  if (data == MAP_FAILED) {
    if (errno == ENOMEM) throw Exception(TFileUtility::MemoryMessage);
    throw EFOpenError::ForPath(fileName, errno);
  }
  bytes->data_ = static_cast<const char*>(data);
  bytes->size_ = size;
  bytes->mappedLength_ = size;
  bytes->slot_ = registerMapping(bytes->data_, size, &bytes->stale_);
  if (bytes->slot_ < 0) {
    // No room to guard the mapping: read the bytes instead.
    ::munmap(data, size);
    bytes->data_ = nullptr;
    bytes->size_ = 0;
    bytes->mappedLength_ = 0;
    bytes->owned_ = TFileUtility::LoadFileToAnsiString(fileName);
    bytes->data_ = bytes->owned_.data();
    bytes->size_ = bytes->owned_.size();
  }
  return bytes;
}

std::shared_ptr<const FileBytes> FileBytes::FromMemory(std::string content) {
  std::shared_ptr<FileBytes> bytes(new FileBytes());
  bytes->owned_ = std::move(content);
  bytes->data_ = bytes->owned_.data();
  bytes->size_ = bytes->owned_.size();
  return bytes;
}

FileBytes::~FileBytes() {
  if (mappedLength_ == 0) return;
  unregisterMapping(slot_);
  ::munmap(const_cast<char*>(data_), mappedLength_);
}

bool FileBytes::ChangedOnDisk() const {
  if (Stale()) return true;
  if (path_.empty()) return false;
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) return false;  // deleted or renamed: still readable
  return static_cast<std::uint64_t>(info.st_size) != size_ || modifiedTime(info) != modified_;
}

void FileBytes::AdviseSequential(bool sequential) const {
  if (mappedLength_ == 0) return;
  ::madvise(const_cast<char*>(data_), mappedLength_, sequential ? MADV_SEQUENTIAL : MADV_NORMAL);
}

}  // namespace norvalis
