#include "platform/File.h"

#include <cerrno>
#include <utility>

#include "FileStatusWindows.h"
#include "WindowsSupport.h"
#include "platform/FileTesting.h"

namespace norvalis::platform {

namespace {

FileTesting::OpenFunction openFunction = nullptr;

// How long a wait for a pipe goes without a look at the cancel flag.
constexpr DWORD CancelPollMilliseconds = 40;

HANDLE handleOf(File::Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

void closeHandle(File::Handle handle, bool owned) {
  if (owned && handle != File::InvalidHandle) CloseHandle(handleOf(handle));
}

}  // namespace

void FileTesting::SetOpenFunction(OpenFunction open) {
  openFunction = open;
}

bool FileTesting::MakeFifo(const std::string&) {
  return false;
}

bool FileTesting::MakeSymbolicLink(const std::string& target, const std::string& path) {
  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE: developer mode needs no administrator.
  constexpr DWORD Unprivileged = 0x2;
  return CreateSymbolicLinkW(windows::Widen(path).c_str(), windows::Widen(target).c_str(),
                             Unprivileged) != 0;
}

File::~File() {
  closeHandle(handle_, owned_);
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, InvalidHandle)),
      regular_(other.regular_),
      owned_(other.owned_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    closeHandle(handle_, owned_);
    handle_ = std::exchange(other.handle_, InvalidHandle);
    regular_ = other.regular_;
    owned_ = other.owned_;
  }
  return *this;
}

int File::Open(std::string_view path, File& file) {
  if (openFunction != nullptr) {
    // A test's stand-in decides only whether the open fails.
    const std::string name(path);
    if (openFunction(name.c_str(), 0) < 0) return errno;
  }
  const HANDLE handle = windows::OpenPath(path, GENERIC_READ);
  if (handle == INVALID_HANDLE_VALUE) return windows::ErrnoOf(GetLastError());
  File opened;
  opened.handle_ = reinterpret_cast<Handle>(handle);
  opened.owned_ = !windows::IsStandardInput(path);
  FileStatus status;
  if (const int error = opened.Status(status); error != 0) return error;
  if (status.kind == FileKind::Folder) return EISDIR;
  opened.regular_ = status.kind == FileKind::Regular;
  file = std::move(opened);
  return 0;
}

int File::Status(FileStatus& status) const {
  return windows::StatusOfHandle(handleOf(handle_), status);
}

std::int64_t File::Read(char* buffer, std::size_t count, const std::atomic<bool>* cancel,
                        int& error) const {
  const HANDLE handle = handleOf(handle_);
  const auto wanted = static_cast<DWORD>(count < 0x40000000 ? count : 0x40000000);
  const bool pipe = !regular_ && GetFileType(handle) == FILE_TYPE_PIPE;
  for (;;) {
    if (pipe) {
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        error = ECANCELED;
        return -1;
      }
      // Read only once the pipe holds something or has ended, so the cancel flag is seen.
      DWORD available = 0;
      const bool peeked = PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr);
      if (!peeked && GetLastError() == ERROR_BROKEN_PIPE) return 0;
      // A pipe that cannot be peeked into (Wine's from a Unix pipe) is waited for by the read.
      if (peeked && available == 0) {
        Sleep(CancelPollMilliseconds);
        continue;
      }
    }
    DWORD got = 0;
    if (ReadFile(handle, buffer, wanted, &got, nullptr)) return got;
    const DWORD failure = GetLastError();
    if (failure == ERROR_BROKEN_PIPE || failure == ERROR_HANDLE_EOF) return 0;
    error = windows::ErrnoOf(failure);
    return -1;
  }
}

}  // namespace norvalis::platform
