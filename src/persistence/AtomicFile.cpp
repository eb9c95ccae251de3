#include "persistence/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "persistence/AtomicFileTesting.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

constexpr std::size_t kStepCount = 5;
std::array<int, kStepCount> injectedFailures{};

// The errno a test asked this step to fail with, or 0.
int injectedFailure(AtomicFileTesting::Step step) {
  return injectedFailures[static_cast<std::size_t>(step)];
}

// A link is replaced by its target's new content, not by a plain file.
std::string resolveLink(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
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

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// The temporary file, removed unless it was renamed over the target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& folder) : name_(folder + "/.norvalis-save-XXXXXX") {}
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!name_.empty() && created_) unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Create() {
    fd_ = mkostemp(name_.data(), O_CLOEXEC);
    created_ = fd_ >= 0;
    return created_;
  }
  int Descriptor() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }
  const std::string& Name() const { return name_; }
  void Keep() { created_ = false; }

 private:
  std::string name_;
  int fd_ = -1;
  bool created_ = false;
};

void syncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Runs one step: an injected failure wins over the real call; on failure errno holds why.
template <typename Action>
bool runStep(AtomicFileTesting::Step step, Action action) {
  if (const int errnum = injectedFailure(step); errnum != 0) {
    errno = errnum;
    return false;
  }
  return action();
}

}  // namespace

namespace AtomicFileTesting {

void FailStep(Step step, int errnum) {
  injectedFailures[static_cast<std::size_t>(step)] = errnum;
}

void ClearFailures() {
  injectedFailures.fill(0);
}

}  // namespace AtomicFileTesting

void WriteFileAtomically(const UnicodeString& path, std::string_view bytes) {
  using AtomicFileTesting::Step;
  const std::string target = resolveLink(ToUtf8(path));
  const std::string folder = folderOf(target);
  TemporaryFile temporary(folder);
  auto fail = [&path] { throw EFCreateError::ForPath(path, errno); };

  if (!runStep(Step::CreateTemporary, [&] { return temporary.Create(); })) fail();
  if (fchmod(temporary.Descriptor(), modeForTarget(target)) != 0) fail();

  if (const int errnum = injectedFailure(Step::Write); errnum != 0) {
    // As a full disk would: part of the bytes arrive, then the write fails.
    writeAll(temporary.Descriptor(), bytes.data(), bytes.size() / 2);
    errno = errnum;
    fail();
  }
  if (!writeAll(temporary.Descriptor(), bytes.data(), bytes.size())) fail();
  if (!runStep(Step::Sync, [&] { return fsync(temporary.Descriptor()) == 0; })) fail();
  if (!runStep(Step::Close, [&] { return temporary.Close(); })) fail();
  if (!runStep(Step::Rename,
               [&] { return std::rename(temporary.Name().c_str(), target.c_str()) == 0; })) {
    fail();
  }
  temporary.Keep();
  syncFolder(folder);
}

}  // namespace norvalis
