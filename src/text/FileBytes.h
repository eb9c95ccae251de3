#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis {

// The bytes of one file, held once for as long as a table reads them: a regular file is
// mapped (the page cache is the only copy), anything else (a FIFO, a device) is read whole.
//
// A mapped file that another program truncates would raise SIGBUS on the next read of a
// lost page. A handler takes such faults on our mappings only: it maps zero pages over the
// lost range and marks the bytes stale, so readers see zeros, never a crash. Any other
// SIGBUS goes on to the handler that was installed before.
class FileBytes {
 public:
  // Opens the file. Raises EFOpenError (with its errno) when it cannot be opened or read,
  // and Exception with the memory message when its bytes cannot be had.
  static std::shared_ptr<const FileBytes> Open(const UnicodeString& fileName);
  // Holds bytes already in memory (tests, decoded content).
  static std::shared_ptr<const FileBytes> FromMemory(std::string bytes);

  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  std::string_view View() const { return {data_, size_}; }
  std::uint64_t Size() const { return size_; }
  // True once a page was lost to a change of the file on disk; lost pages read as zeros.
  bool Stale() const { return stale_.load(std::memory_order_relaxed); }
  // True when the file's size or modification time differ from when it was opened.
  bool ChangedOnDisk() const;
  // Tells the kernel the bytes will be read from start to end once (or not).
  void AdviseSequential(bool sequential) const;

 private:
  FileBytes() = default;

  const char* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint64_t mappedLength_ = 0;  // 0 when the bytes are owned, not mapped
  std::string owned_;
  std::string path_;
  std::int64_t modified_ = 0;
  mutable std::atomic<bool> stale_{false};
  int slot_ = -1;  // the mapping's place in the fault handler's registry
};

}  // namespace norvalis
