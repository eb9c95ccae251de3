#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/SaveFile.h"

namespace norvalis::platform {

// A file's new content, written beside it and put in its place in one step: until Commit the
// target stays as it was, and a replacement dropped before it leaves nothing behind. Small
// writes are gathered into large ones.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Starts replacing path (a symbolic link's target, when it is one) with a temporary file in
  // the same folder; the error number (0 on success).
  int Begin(std::string_view path);
  // Appends bytes; the error number (EFAULT when the bytes themselves could not be read).
  int Write(std::string_view bytes);
  // Flushes everything to the disk and renames the temporary file over the target, with the
  // mode the target had (a new file's as the umask gives it); the error number.
  int Commit();
  // The bytes written so far.
  std::uint64_t Written() const { return written_; }

 private:
  int Flush();
  int WriteDirect(const char* data, std::size_t size);

  std::unique_ptr<SaveFile> file_;
  std::string buffer_;
  std::uint64_t written_ = 0;
};

}  // namespace norvalis::platform
