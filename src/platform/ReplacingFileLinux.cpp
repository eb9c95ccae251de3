#include "platform/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/FileName.h"

namespace norvalis::platform {

namespace {

constexpr std::size_t BufferBytes = std::size_t{1} << 20;
// Write-back is started every so many bytes, so the final flush has little left to do.
constexpr std::uint64_t SyncStepBytes = std::uint64_t{32} << 20;

// A link is replaced by its target's new content, not by a plain file.
std::string resolveLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The umask without changing it (umask() sets it, which races with other threads).
mode_t processUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
  }
  return 022;
}

}  // namespace

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

int ReplacingFile::Begin(std::string_view path) {
  target_ = resolveLink(ToNativeFileName(path));
  std::string name = folderOf(target_) + "/.norvalis-save-XXXXXX";
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return errno;
  temporary_ = std::move(name);
  struct stat st {};
  const mode_t mode =
      ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~processUmask());
  if (::fchmod(fd_, mode) != 0) return errno;
  buffer_.reserve(BufferBytes);
  return 0;
}

int ReplacingFile::WriteDirect(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd_, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (done == 0) return ENOSPC;
    data += done;
    size -= static_cast<std::size_t>(done);
    written_ += static_cast<std::uint64_t>(done);
  }
  if (written_ - synced_ >= SyncStepBytes) {
    ::sync_file_range(fd_, static_cast<off64_t>(synced_), static_cast<off64_t>(written_ - synced_),
                      SYNC_FILE_RANGE_WRITE);
    synced_ = written_;
  }
  return 0;
}

int ReplacingFile::Flush() {
  if (buffer_.empty()) return 0;
  const int error = WriteDirect(buffer_.data(), buffer_.size());
  buffer_.clear();
  return error;
}

int ReplacingFile::Write(std::string_view bytes) {
  if (fd_ < 0) return EBADF;
  if (buffer_.size() + bytes.size() <= BufferBytes) {
    buffer_ += bytes;
    return 0;
  }
  if (const int error = Flush(); error != 0) return error;
  if (bytes.size() < BufferBytes) {
    buffer_ += bytes;
    return 0;
  }
  return WriteDirect(bytes.data(), bytes.size());
}

int ReplacingFile::Commit() {
  if (fd_ < 0) return EBADF;
  if (const int error = Flush(); error != 0) return error;
  if (::fsync(fd_) != 0) return errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return errno;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return errno;
  temporary_.clear();
  const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return 0;
}

}  // namespace norvalis::platform
