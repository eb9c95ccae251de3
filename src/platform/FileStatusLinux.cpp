#include "platform/FileStatus.h"

#include <sys/stat.h>

#include <cerrno>

#include "FileStatusLinux.h"
#include "platform/FileName.h"

namespace norvalis::platform {

FileStatus StatusOf(const struct stat& info) {
  FileStatus status;
  if (S_ISREG(info.st_mode)) {
    status.kind = FileKind::Regular;
    status.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  } else if (S_ISDIR(info.st_mode)) {
    status.kind = FileKind::Folder;
  }
  status.modified =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  status.identity = {static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino)};
  return status;
}

int PathStatus(std::string_view path, FileStatus& status) {
  struct stat info {};
  if (::stat(ToNativeFileName(path).c_str(), &info) != 0) return errno;
  status = StatusOf(info);
  return 0;
}

}  // namespace norvalis::platform
