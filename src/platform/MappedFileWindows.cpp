#include "platform/MappedFile.h"

#include <windows.h>

#include <array>
#include <cerrno>
#include <mutex>

#include "WindowsSupport.h"

namespace norvalis::platform {

namespace {

// The mappings the exception handler answers for, as on Linux: fixed size and lock-free, since
// the handler may run at any moment in any thread; a slot is free while its begin is 0.
struct MappingSlot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<std::atomic<bool>*> pageLost{nullptr};
};
constexpr std::size_t SlotCount = 256;
std::array<MappingSlot, SlotCount> slots;
std::once_flag handlerInstalled;

// A read of a mapped page the system could not bring in (the file's volume went away, a
// network error) raises EXCEPTION_IN_PAGE_ERROR. Windows refuses to truncate a mapped file, so
// this is a lost medium, not a shorter file: the whole view becomes zeros and the read resumes.
LONG CALLBACK onPageError(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const std::uintptr_t address = record->ExceptionInformation[1];
  for (MappingSlot& slot : slots) {
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) continue;
    std::atomic<bool>* lost = slot.pageLost.load(std::memory_order_acquire);
    if (lost == nullptr || lost->exchange(true)) return EXCEPTION_CONTINUE_EXECUTION;
    void* base = reinterpret_cast<void*>(begin);
    UnmapViewOfFile(base);
    if (VirtualAlloc(base, end - begin, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) == nullptr) {
      return EXCEPTION_CONTINUE_SEARCH;
    }
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void installHandler() {
  std::call_once(handlerInstalled, [] { AddVectoredExceptionHandler(1, onPageError); });
}

int registerMapping(const char* data, std::uint64_t length, std::atomic<bool>* pageLost) {
  installHandler();
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t end = begin + length;
  for (std::size_t i = 0; i < SlotCount; ++i) {
    MappingSlot& slot = slots[i];
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
  const HANDLE mapping = CreateFileMappingW(reinterpret_cast<HANDLE>(file.NativeHandle()), nullptr,
                                            PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) {
    error = windows::ErrnoOf(GetLastError());
    return nullptr;
  }
  void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
  const DWORD failure = GetLastError();
  // The view keeps the mapping object alive.
  CloseHandle(mapping);
  if (data == nullptr) {
    error = windows::ErrnoOf(failure);
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
  void* base = const_cast<char*>(data_);
  // After a page error the view was replaced by zero pages of our own.
  if (PageLost()) {
    VirtualFree(base, 0, MEM_RELEASE);
  } else {
    UnmapViewOfFile(base);
  }
}

bool MappedFile::HoldsFile() {
  return true;
}

void MappedFile::AdviseSequential(bool /*sequential*/) const {
  // The system's read-ahead of mapped files needs no hint.
}

}  // namespace norvalis::platform
