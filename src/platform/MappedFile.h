#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/File.h"

namespace norvalis::platform {

// The bytes of a regular file mapped read-only, the page cache their only copy.
//
// A mapped file that another program truncates would fault on the next read of a lost page
// (SIGBUS on Linux). A guard takes such faults on these mappings only: it puts zero pages over
// the lost range and marks the mapping, so readers see zeros, never a crash. Any other such
// fault goes on to the handler that was there before.
class MappedFile {
 public:
  // Maps the first size bytes (at least 1) of the open file. Null with the error number when it
  // cannot be mapped (ENOMEM: no room); null with error 0 when no more mappings can be
  // guarded, so the caller reads the file instead.
  static std::unique_ptr<MappedFile> Map(const File& file, std::uint64_t size, int& error);
  // Whether other programs may not change a file while it is mapped (Windows will not let its
  // size change, so an editor that saves in place fails): such files are better read whole
  // and closed when the memory allows.
  static bool HoldsFile();

  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::string_view View() const { return {data_, static_cast<std::size_t>(size_)}; }
  // True once a page was lost to a change of the file on disk; lost pages read as zeros.
  bool PageLost() const { return pageLost_.load(std::memory_order_relaxed); }
  // Tells the system the bytes will be read from start to end once (or not).
  void AdviseSequential(bool sequential) const;

 private:
  MappedFile() = default;

  const char* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::atomic<bool> pageLost_{false};
  int slot_ = -1;  // the mapping's place in the guard's registry
};

}  // namespace norvalis::platform
