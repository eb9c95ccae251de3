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
Testing::HoldFunction holdFunction = nullptr;

// Large enough that reads are few, small enough to stay in the cache while decoded.
constexpr std::size_t DefaultPieceBytes = std::size_t{1} << 20;
std::size_t pieceBytes = DefaultPieceBytes;

}  // namespace

namespace Testing {
void SetOpenFunction(OpenFunction open) {
  openFunction = open != nullptr ? open : openFile;
}
void SetResizeFunction(ResizeFunction resize) {
  resizeFunction = resize != nullptr ? resize : resizeBuffer;
}
void SetHoldFunction(HoldFunction hold) {
  holdFunction = hold;
}
void HoldBytes(std::uint64_t size) {
  if (holdFunction == nullptr) return;
  try {
    holdFunction(size);
  } catch (const std::bad_alloc&) {
    throw Exception(MemoryMessage);
  }
}
void SetPieceBytes(std::size_t bytes) {
  pieceBytes = bytes != 0 ? bytes : DefaultPieceBytes;
}
}  // namespace Testing

namespace {

// The size to read: 0 when there is none to take (FIFOs and devices could block or never end).
std::size_t sizeToRead(const OpenedFile& file) {
  if (!S_ISREG(file.info.st_mode) || file.info.st_size <= 0) return 0;
  return static_cast<std::size_t>(file.info.st_size);
}

// Reads count bytes into dest; past the end of the file (it shrank meanwhile) the rest is
// zeros, so the content keeps the size taken at the open.
void readExactly(int fd, const UnicodeString& fileName, char* dest, std::size_t count,
                 bool& ended) {
  std::size_t done = 0;
  while (!ended && done < count) {
    const ssize_t got = ::read(fd, dest + done, count - done);
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
    throw Exception(MemoryMessage);
  } catch (const std::length_error&) {
    throw Exception(MemoryMessage);
  }
  return content;
}

// The whole content: the bytes already read (held), then the rest of the file.
AnsiString readRest(int fd, const UnicodeString& fileName, std::size_t size, std::string_view held,
                    bool& ended) {
  AnsiString content = allocateContent(size);
  // The buffer may be shorter than asked when a test stands in for the sizing.
  const std::size_t copied = std::min(held.size(), content.size());
  if (copied != 0) std::memcpy(content.data(), held.data(), copied);
  readExactly(fd, fileName, content.data() + copied, content.size() - copied, ended);
  return content;
}

}  // namespace

OpenedFile::~OpenedFile() {
  if (fd >= 0) ::close(fd);
}

OpenedFile::OpenedFile(OpenedFile&& other) noexcept : fd(other.fd), info(other.info) {
  other.fd = -1;
}

OpenedFile OpenForReading(const UnicodeString& fileName) {
  // Non-blocking, so a FIFO without a writer cannot hang the open.
  const std::string path = ToUtf8(fileName);
  OpenedFile file;
  file.fd = openFunction(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file.fd < 0) throw EFOpenError::ForPath(fileName, errno);
  if (::fstat(file.fd, &file.info) != 0) throw EFOpenError::ForPath(fileName, errno);
  if (S_ISDIR(file.info.st_mode)) throw EFOpenError::ForPath(fileName, EISDIR);
  return file;
}

AnsiString LoadFileToAnsiString(const UnicodeString& fileName) {
  const OpenedFile file = OpenForReading(fileName);
  const std::size_t size = sizeToRead(file);
  if (size == 0) return {};
  bool ended = false;
  return readRest(file.fd, fileName, size, {}, ended);
}

UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName, std::uint16_t* detected) {
  const OpenedFile file = OpenForReading(fileName);
  const std::size_t size = sizeToRead(file);
  // The detection needs the byte after its window as well.
  const std::size_t firstBytes = std::max(pieceBytes, TStringUtility::MaxDetectBytes + 1);
  bool ended = false;
  if (size <= firstBytes) {
    const AnsiString content =
        size == 0 ? AnsiString() : readRest(file.fd, fileName, size, {}, ended);
    return TStringUtility::ConvertToUnicodeString(content, detected);
  }
  try {
    AnsiString buffer(firstBytes, '\0');
    readExactly(file.fd, fileName, buffer.data(), firstBytes, ended);
    const std::uint16_t codePage = TStringUtility::DetectCodePage(buffer);
    if (detected != nullptr) *detected = codePage;
    if (!TStringUtility::ConvertsInPieces(codePage)) {
      const AnsiString content = readRest(file.fd, fileName, size, buffer, ended);
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
      readExactly(file.fd, fileName, buffer.data() + held, count, ended);
      held += count;
      done += count;
    }
    return text;
  } catch (const std::bad_alloc&) {
    throw Exception(MemoryMessage);
  } catch (const std::length_error&) {
    throw Exception(MemoryMessage);
  }
}

}  // namespace norvalis::TFileUtility
