#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/File.h"
#include "platform/FileStatus.h"
#include "platform/MappedFile.h"
#include "text/FileState.h"
#include "text/UnicodeString.h"

namespace norvalis {

// The bytes of one file, held once for as long as a table reads them: a regular file is
// mapped (the page cache is the only copy, guarded against pages lost to a change on disk),
// anything else (a pipe, a FIFO, a device) is read to its end. The file stays open, so what is
// on disk can be compared with what was read.
class FileBytes {
 public:
  // Opens and holds the file. Raises EFOpenError (with its errno) when it cannot be opened or
  // read, Exception with the memory message when its bytes cannot be had, and ECancelled soon
  // after *cancel becomes true while it waits for a pipe.
  static std::shared_ptr<const FileBytes> Open(const UnicodeString& fileName,
                                               const std::atomic<bool>* cancel = nullptr);
  // Holds bytes already in memory (tests, decoded content).
  static std::shared_ptr<const FileBytes> FromMemory(std::string bytes);

  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  std::string_view View() const { return {data_, static_cast<std::size_t>(size_)}; }
  std::uint64_t Size() const { return size_; }
  // True once a page was lost to a change of the file on disk; lost pages read as zeros.
  bool Stale() const { return mapped_ != nullptr && mapped_->PageLost(); }
  // How the file on disk compares with what is held: its size and time through the held
  // descriptor, the lost pages, and which file its name names now. What was read whole from a
  // pipe or a device, or given in memory, is always Same.
  FileChange DiskChange() const;
  // Which file was opened, for a regular file (null for a pipe, a device or bytes in memory):
  // a save must never replace it, under whatever name.
  std::optional<platform::FileIdentity> Identity() const {
    if (!comparable_) return std::nullopt;
    return opened_.identity;
  }
  // Tells the kernel the bytes will be read from start to end once (or not).
  void AdviseSequential(bool sequential) const;

 private:
  FileBytes() = default;

  const char* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::unique_ptr<platform::MappedFile> mapped_;
  std::string owned_;
  platform::File file_;
  std::string path_;             // UTF-8, as the platform takes names
  platform::FileStatus opened_;  // as the file stood when it was opened
  bool comparable_ = false;      // a regular file, whose disk state means something
};

}  // namespace norvalis
