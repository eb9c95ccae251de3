#include "platform/FileStatus.h"

#include <cerrno>

#include "FileStatusWindows.h"
#include "WindowsSupport.h"
#include "platform/FileName.h"

namespace norvalis::platform {

int windows::StatusOfHandle(HANDLE handle, FileStatus& status) {
  status = FileStatus();
  const DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    // A pipe or a console: read until it ends.
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return ErrnoOf(GetLastError());
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return ErrnoOf(GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.kind = FileKind::Folder;
  } else {
    status.kind = FileKind::Regular;
    status.size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  }
  status.modified = UnixNanoseconds(info.ftLastWriteTime);
  // A file is known by its volume and its index there, as a Linux inode by its device.
  status.identity = {info.dwVolumeSerialNumber,
                     static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return 0;
}

int PathStatus(std::string_view path, FileStatus& status) {
  // Backup semantics opens folders too; no access is asked, so a file others hold is seen.
  const HANDLE handle = CreateFileW(ToNativeFileName(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return windows::ErrnoOf(GetLastError());
  const int error = windows::StatusOfHandle(handle, status);
  CloseHandle(handle);
  return error;
}

}  // namespace norvalis::platform
