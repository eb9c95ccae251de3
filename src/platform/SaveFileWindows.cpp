#include "platform/SaveFile.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "WindowsSupport.h"
#include "platform/FileName.h"

namespace norvalis::platform {

namespace {

std::wstring folderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  return path.substr(0, slash + 1 == 3 && path[1] == L':' ? slash + 1 : slash);
}

HANDLE handleOf(File::Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::string SaveFile::ResolveTarget(std::string_view path) {
  const std::wstring name = ToNativeFileName(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return std::string(path);
  }
  // A link is replaced by its target's new content, not by a plain file.
  const HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::string(path);
  wchar_t buffer[32768];
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer, 32768, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= 32768) return std::string(path);
  std::wstring resolved(buffer, length);
  if (resolved.rfind(L"\\\\?\\", 0) == 0) resolved.erase(0, 4);
  return FromNativeFileName(resolved);
}

SaveFile::SaveFile(std::string target) : target_(std::move(target)) {}

SaveFile::~SaveFile() {
  if (handle_ != File::InvalidHandle) CloseHandle(handleOf(handle_));
  if (created_) DeleteFileW(ToNativeFileName(name_).c_str());
}

int SaveFile::Create() {
  const std::wstring folder = folderOf(ToNativeFileName(target_));
  // A new name each time, like mkstemp; the file inherits the folder's permissions.
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L"\\.norvalis-save-%08lx%02x", GetTickCount() ^ GetCurrentProcessId(),
                  attempt);
    const std::wstring name = folder + suffix;
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return windows::ErrnoOf(GetLastError());
    }
    handle_ = reinterpret_cast<File::Handle>(handle);
    name_ = FromNativeFileName(name);
    created_ = true;
    return 0;
  }
  return EEXIST;
}

int SaveFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const auto chunk = static_cast<DWORD>(size < 0x40000000 ? size : 0x40000000);
    DWORD written = 0;
    if (!WriteFile(handleOf(handle_), data, chunk, &written, nullptr)) {
      return windows::ErrnoOf(GetLastError());
    }
    if (written == 0) return ENOSPC;
    data += written;
    size -= written;
  }
  return 0;
}

int SaveFile::Sync() {
  return FlushFileBuffers(handleOf(handle_)) ? 0 : windows::ErrnoOf(GetLastError());
}

int SaveFile::Close() {
  const HANDLE handle = handleOf(handle_);
  handle_ = File::InvalidHandle;
  return CloseHandle(handle) ? 0 : windows::ErrnoOf(GetLastError());
}

int SaveFile::Replace() {
  // Write-through: the call returns once the new name is on the disk.
  if (!MoveFileExW(ToNativeFileName(name_).c_str(), ToNativeFileName(target_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return windows::ErrnoOf(GetLastError());
  }
  created_ = false;
  return 0;
}

}  // namespace norvalis::platform
