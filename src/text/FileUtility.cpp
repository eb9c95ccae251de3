#include "text/FileUtility.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>
#include <string>

#include "text/Exception.h"
#include "text/FileUtilityTesting.h"

namespace norvalis::TFileUtility {

namespace {

constexpr char16_t MemoryMessage[] =
    u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation";

int openFile(const char* path, int flags) {
  return ::open(path, flags);
}
void resizeBuffer(AnsiString& buffer, std::size_t size) {
  buffer.resize(size);
}

Testing::OpenFunction openFunction = openFile;
Testing::ResizeFunction resizeFunction = resizeBuffer;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

namespace Testing {
void SetOpenFunction(OpenFunction open) {
  openFunction = open != nullptr ? open : openFile;
}
void SetResizeFunction(ResizeFunction resize) {
  resizeFunction = resize != nullptr ? resize : resizeBuffer;
}
}  // namespace Testing

AnsiString LoadFileToAnsiString(const UnicodeString& fileName) {
  // Non-blocking, so a FIFO without a writer cannot hang the open.
  const std::string path = ToUtf8(fileName);
  const FileDescriptor file(openFunction(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) throw EFOpenError::ForPath(fileName, errno);

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw EFOpenError::ForPath(fileName, errno);
  if (S_ISDIR(info.st_mode)) throw EFOpenError::ForPath(fileName, EISDIR);
  // FIFOs and devices have no size to take; reading them could block or never end.
  if (!S_ISREG(info.st_mode) || info.st_size <= 0) return {};

  AnsiString content;
  try {
    resizeFunction(content, static_cast<std::size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    throw Exception(MemoryMessage);
  } catch (const std::length_error&) {
    throw Exception(MemoryMessage);
  }

  // Bytes not delivered (the file shrank meanwhile) stay zero; the size stays as taken.
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t got = ::read(file.get(), content.data() + done, content.size() - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      // A failed read must not pass for a file of zero bytes.
      throw EFOpenError::ForPath(fileName, errno);
    }
    done += static_cast<std::size_t>(got);
  }
  return content;
}

}  // namespace norvalis::TFileUtility
