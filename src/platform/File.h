#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/FileStatus.h"

namespace norvalis::platform {

// A file open for reading, closed with the object. Other programs may keep it open and write
// to it meanwhile.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens the file; the error number (0 on success; EISDIR for a folder). The open never waits,
  // not even for the writer of a FIFO.
  static int Open(std::string_view path, File& file);

  bool IsOpen() const { return handle_ != InvalidHandle; }
  // How the open file stands now (through the descriptor, whatever its name names since).
  int Status(FileStatus& status) const;

  // Reads up to count bytes from the current position into buffer: the number read, 0 at the
  // end, -1 with error set. A regular file is read as it is; anything else is waited for as
  // cat waits (a pipe's next piece, a FIFO's first writer), looking at *cancel every few tens of
  // milliseconds and failing with ECANCELED once it is set.
  std::int64_t Read(char* buffer, std::size_t count, const std::atomic<bool>* cancel,
                    int& error) const;

  // The system's handle (Linux: the descriptor; Windows: the HANDLE), for the mapping of this
  // room. Both systems use -1 for none.
  using Handle = std::intptr_t;
  static constexpr Handle InvalidHandle = -1;
  Handle NativeHandle() const { return handle_; }

 private:
  Handle handle_ = InvalidHandle;
  bool regular_ = true;
  bool owned_ = true;  // false for a standard handle the process keeps (Windows)
};

}  // namespace norvalis::platform
