#include "platform/File.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "FileStatusLinux.h"
#include "platform/FileName.h"
#include "platform/FileTesting.h"

namespace norvalis::platform {

namespace {

int systemOpen(const char* path, int flags) {
  return ::open(path, flags);
}

FileTesting::OpenFunction openFunction = systemOpen;

int descriptor(File::Handle handle) {
  return static_cast<int>(handle);
}

// How long a wait for a pipe goes without a look at the cancel flag.
constexpr int CancelPollMilliseconds = 40;

}  // namespace

void FileTesting::SetOpenFunction(OpenFunction open) {
  openFunction = open != nullptr ? open : systemOpen;
}

bool FileTesting::MakeFifo(const std::string& path) {
  return ::mkfifo(path.c_str(), 0600) == 0;
}

bool FileTesting::MakeSymbolicLink(const std::string& target, const std::string& path) {
  return ::symlink(target.c_str(), path.c_str()) == 0;
}

File::~File() {
  if (IsOpen()) ::close(descriptor(handle_));
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, InvalidHandle)),
      regular_(other.regular_),
      owned_(other.owned_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::close(descriptor(handle_));
    handle_ = std::exchange(other.handle_, InvalidHandle);
    regular_ = other.regular_;
    owned_ = other.owned_;
  }
  return *this;
}

int File::Open(std::string_view path, File& file) {
  // Non-blocking, so the open of a FIFO without a writer returns; Read does the waiting.
  const int fd = openFunction(ToNativeFileName(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  File opened;
  opened.handle_ = fd;
  FileStatus status;
  if (const int error = opened.Status(status); error != 0) return error;
  if (status.kind == FileKind::Folder) return EISDIR;
  opened.regular_ = status.kind == FileKind::Regular;
  file = std::move(opened);
  return 0;
}

int File::Status(FileStatus& status) const {
  struct stat info {};
  if (::fstat(descriptor(handle_), &info) != 0) return errno;
  status = StatusOf(info);
  return 0;
}

std::int64_t File::Read(char* buffer, std::size_t count, const std::atomic<bool>* cancel,
                        int& error) const {
  for (;;) {
    if (!regular_) {
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        error = ECANCELED;
        return -1;
      }
      // A FIFO reads as ended before its first writer came: read only once poll says there is
      // something (data, or the end after a writer left).
      pollfd ready{descriptor(handle_), POLLIN, 0};
      const int polled = ::poll(&ready, 1, CancelPollMilliseconds);
      if (polled < 0 && errno != EINTR) {
        error = errno;
        return -1;
      }
      if (polled <= 0) continue;
    }
    const ssize_t got = ::read(descriptor(handle_), buffer, count);
    if (got >= 0) return got;
    if (errno == EINTR || (!regular_ && errno == EAGAIN)) continue;
    error = errno;
    return -1;
  }
}

}  // namespace norvalis::platform
