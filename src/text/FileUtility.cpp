#include "text/FileUtility.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "text/Exception.h"
#include "text/FileUtilityTesting.h"
#include "text/StringUtility.h"

namespace norvalis::TFileUtility {

namespace {

int openFile(const char* path, int flags) {
  return ::open(path, flags);
}
void resizeBuffer(AnsiString& buffer, std::size_t size) {
  buffer.resize(size);
}

Testing::OpenFunction openFunction = openFile;
Testing::ResizeFunction resizeFunction = resizeBuffer;

// Large enough that reads are few, small enough to stay in the cache while decoded.
constexpr std::size_t DefaultPieceBytes = std::size_t{1} << 20;
std::size_t pieceBytes = DefaultPieceBytes;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(-1); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

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
void SetPieceBytes(std::size_t bytes) {
  pieceBytes = bytes != 0 ? bytes : DefaultPieceBytes;
}
}  // namespace Testing

namespace {

// Opens the file for reading; its size, or 0 when it has none to take (FIFOs and devices
// could block or never end).
std::size_t openForReading(const UnicodeString& fileName, FileDescriptor& file) {
  // Non-blocking, so a FIFO without a writer cannot hang the open.
  const std::string path = ToUtf8(fileName);
  file.reset(openFunction(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) throw EFOpenError::ForPath(fileName, errno);

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw EFOpenError::ForPath(fileName, errno);
  if (S_ISDIR(info.st_mode)) throw EFOpenError::ForPath(fileName, EISDIR);
  if (!S_ISREG(info.st_mode) || info.st_size <= 0) return 0;
  return static_cast<std::size_t>(info.st_size);
}

// Reads count bytes into dest; past the end of the file (it shrank meanwhile) the rest is
// zeros, so the content keeps the size taken at the open.
void readExactly(const FileDescriptor& file, const UnicodeString& fileName, char* dest,
                 std::size_t count, bool& ended) {
  std::size_t done = 0;
  while (!ended && done < count) {
    const ssize_t got = ::read(file.get(), dest + done, count - done);
    if (got == 0) {
      ended = true;
      break;
    }
    if (got < 0) {
      if (errno == EINTR) continue;
      // A failed read must not pass for a file of zero bytes.
      throw EFOpenError::ForPath(fileName, errno);
    }
    done += static_cast<std::size_t>(got);
  }
  std::memset(dest + done, 0, count - done);
}

// A buffer of size bytes, or the memory message.
AnsiString allocateContent(std::size_t size) {
  AnsiString content;
  try {
    resizeFunction(content, size);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(MemoryMessage);
  } catch (const std::length_error&) {
    throw EOutOfMemory(MemoryMessage);
  }
  return content;
}

// The whole content: the bytes already read (held), then the rest of the file.
AnsiString readRest(const FileDescriptor& file, const UnicodeString& fileName, std::size_t size,
                    std::string_view held, bool& ended) {
  AnsiString content = allocateContent(size);
  // The buffer may be shorter than asked when a test stands in for the sizing.
  const std::size_t copied = std::min(held.size(), content.size());
  if (copied != 0) std::memcpy(content.data(), held.data(), copied);
  readExactly(file, fileName, content.data() + copied, content.size() - copied, ended);
  return content;
}

}  // namespace

AnsiString LoadFileToAnsiString(const UnicodeString& fileName) {
  FileDescriptor file(-1);
  const std::size_t size = openForReading(fileName, file);
  if (size == 0) return {};
  bool ended = false;
  return readRest(file, fileName, size, {}, ended);
}

UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName, std::uint16_t* detected) {
  return LoadFileToUnicodeStringAs(fileName, 0, detected);
}

UnicodeString LoadFileToUnicodeStringAs(const UnicodeString& fileName, std::uint16_t chosenCodePage,
                                        std::uint16_t* detected) {
  FileDescriptor file(-1);
  const std::size_t size = openForReading(fileName, file);
  // The detection needs the byte after its window as well.
  const std::size_t firstBytes = std::max(pieceBytes, TStringUtility::MaxDetectBytes + 1);
  bool ended = false;
  if (size <= firstBytes) {
    const AnsiString content = size == 0 ? AnsiString() : readRest(file, fileName, size, {}, ended);
    if (chosenCodePage == 0) return TStringUtility::ConvertToUnicodeString(content, detected);
    if (detected != nullptr) *detected = chosenCodePage;
    return TStringUtility::ConvertByCodePage(content, chosenCodePage);
  }
  try {
    AnsiString buffer(firstBytes, '\0');
    readExactly(file, fileName, buffer.data(), firstBytes, ended);
    const std::uint16_t codePage =
        chosenCodePage != 0 ? chosenCodePage : TStringUtility::DetectCodePage(buffer);
    if (detected != nullptr) *detected = codePage;
    if (!TStringUtility::ConvertsInPieces(codePage)) {
      const AnsiString content = readRest(file, fileName, size, buffer, ended);
      AnsiString().swap(buffer);
      return TStringUtility::ConvertByCodePage(content, codePage);
    }

    // Decoded piece by piece, each ending after an LF, so the bytes are never held whole.
    UnicodeString text;
    text.reserve(size);
    std::size_t done = firstBytes;
    std::size_t held = firstBytes;
    bool first = true;
    for (;;) {
      const bool last = done == size;
      std::size_t cut = held;
      if (!last) {
        const void* lf = ::memrchr(buffer.data(), '\n', held);
        cut = lf == nullptr
                  ? 0
                  : static_cast<std::size_t>(static_cast<const char*>(lf) - buffer.data()) + 1;
      }
      if (cut != 0) {
        TStringUtility::AppendConvertedPiece(std::string_view(buffer.data(), cut), codePage, first,
                                             text);
        first = false;
        std::memmove(buffer.data(), buffer.data() + cut, held - cut);
        held -= cut;
      }
      if (last) break;
      // A piece without an LF waits for more bytes; the buffer grows for it.
      const std::size_t count = std::min(pieceBytes, size - done);
      if (buffer.size() < held + count) buffer.resize(held + count);
      readExactly(file, fileName, buffer.data() + held, count, ended);
      held += count;
      done += count;
    }
    return text;
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(MemoryMessage);
  } catch (const std::length_error&) {
    throw EOutOfMemory(MemoryMessage);
  }
}

}  // namespace norvalis::TFileUtility
