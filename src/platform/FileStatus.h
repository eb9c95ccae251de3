#pragma once

#include <cstdint>
#include <string_view>

namespace norvalis::platform {

// What a file is, for how it is read.
enum class FileKind {
  Regular,  // mapped, or read up to its size
  Folder,
  Other,  // a pipe, FIFO, device or socket: read until it ends
};

// Which file a name or a descriptor leads to (Linux: device and inode).
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// How a file stands at one moment.
struct FileStatus {
  FileKind kind = FileKind::Other;
  std::uint64_t size = 0;     // bytes; 0 for what is not a regular file
  std::int64_t modified = 0;  // last modification, nanoseconds since the epoch
  FileIdentity identity;
};

// The status of what the path names now; the error number (0 on success): ENOENT or ENOTDIR
// when it names nothing.
int PathStatus(std::string_view path, FileStatus& status);

}  // namespace norvalis::platform
