#include "platform/FileStatus.h"

#include <cerrno>

#include "FileStatusWindows.h"
#include "WindowsSupport.h"
#include "platform/Console.h"
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
  // Without its information (Wine's standard input from a file) it is read to its end.
  if (!GetFileInformationByHandle(handle, &info)) return 0;
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

bool windows::IsStandardInput(std::string_view path) {
  return path == StandardInputName();
}

HANDLE windows::OpenPath(std::string_view path, DWORD access) {
  if (IsStandardInput(path)) {
    const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    return handle == nullptr ? INVALID_HANDLE_VALUE : handle;
  }
  // Other programs may go on reading, writing, renaming or deleting the file meanwhile; backup
  // semantics opens folders too.
  return CreateFileW(ToNativeFileName(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

int PathStatus(std::string_view path, FileStatus& status) {
  // No access asked, so a file others hold is seen.
  const HANDLE handle = windows::OpenPath(path, 0);
  if (handle == INVALID_HANDLE_VALUE) return windows::ErrnoOf(GetLastError());
  const int error = windows::StatusOfHandle(handle, status);
  if (!windows::IsStandardInput(path)) CloseHandle(handle);
  return error;
}

}  // namespace norvalis::platform
