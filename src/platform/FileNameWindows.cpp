#include "platform/FileName.h"

#include <cerrno>
#include <cstdint>

#include "WindowsSupport.h"

namespace norvalis::platform {

namespace windows {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_COMMITMENT_LIMIT:
      return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_OPERATION_ABORTED:
      return ECANCELED;
    case ERROR_NOT_SUPPORTED:
      return ENOTSUP;
    default:
      return EIO;
  }
}

std::int64_t UnixNanoseconds(const FILETIME& time) {
  // FILETIME counts 100 ns from 1601; the two epochs are 11644473600 s apart.
  const std::uint64_t ticks =
      static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  return (static_cast<std::int64_t>(ticks) - 116444736000000000LL) * 100;
}

}  // namespace windows

NativeFileName ToNativeFileName(std::string_view fileName) {
  return windows::Widen(fileName);
}

std::string FromNativeFileName(const NativeFileName& fileName) {
  return windows::Narrow(fileName);
}

}  // namespace norvalis::platform
