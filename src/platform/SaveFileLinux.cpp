#include "platform/SaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "platform/FileName.h"

namespace norvalis::platform {

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

// The mode the saved file gets: that of the file it replaces, else what creat would give.
mode_t modeForTarget(const std::string& target) {
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  return 0666 & ~processUmask();
}

int descriptor(File::Handle handle) {
  return static_cast<int>(handle);
}

}  // namespace

std::string SaveFile::ResolveTarget(std::string_view path) {
  // A link is replaced by its target's new content, not by a plain file.
  const std::string name = ToNativeFileName(path);
  struct stat st {};
  if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
  char* real = realpath(name.c_str(), nullptr);
  if (real == nullptr) return name;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

SaveFile::SaveFile(std::string target)
    : target_(std::move(target)), name_(folderOf(target_) + "/.norvalis-save-XXXXXX") {}

SaveFile::~SaveFile() {
  if (handle_ != File::InvalidHandle) close(descriptor(handle_));
  if (created_) unlink(name_.c_str());
}

int SaveFile::Create() {
  const int fd = mkostemp(name_.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  handle_ = fd;
  created_ = true;
  if (fchmod(fd, modeForTarget(target_)) != 0) return errno;
  return 0;
}

int SaveFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor(handle_), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return ENOSPC;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int SaveFile::Sync() {
  return fsync(descriptor(handle_)) == 0 ? 0 : errno;
}

int SaveFile::Close() {
  const int fd = descriptor(handle_);
  handle_ = File::InvalidHandle;
  return close(fd) == 0 ? 0 : errno;
}

int SaveFile::Replace() {
  if (std::rename(name_.c_str(), target_.c_str()) != 0) return errno;
  created_ = false;
  // The rename itself reaches the disk with the folder.
  const int fd = open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return 0;
}

}  // namespace norvalis::platform
