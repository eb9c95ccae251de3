#include "text/FileUtility.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/FileTesting.h"
#include "platform/Memory.h"
#include "text/Exception.h"
#include "text/FileUtilityTesting.h"
#include "text/StringUtility.h"

namespace norvalis::TFileUtility {

namespace {

void resizeBuffer(AnsiString& buffer, std::size_t size) {
  buffer.resize(size);
}

Testing::ResizeFunction resizeFunction = resizeBuffer;
Testing::HoldFunction holdFunction = nullptr;

// Large enough that reads are few, small enough to stay in the cache while decoded.
constexpr std::size_t DefaultPieceBytes = std::size_t{1} << 20;
std::size_t pieceBytes = DefaultPieceBytes;

}  // namespace

namespace Testing {
void SetOpenFunction(OpenFunction open) {
  platform::FileTesting::SetOpenFunction(open);
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

// Reads count bytes into dest; past the end of the file (it shrank meanwhile) the rest is
// zeros, so the content keeps the size taken at the open.
void readExactly(const platform::File& file, const UnicodeString& fileName, char* dest,
                 std::size_t count, bool& ended) {
  std::size_t done = 0;
  while (!ended && done < count) {
    int error = 0;
    const std::int64_t got = file.Read(dest + done, count - done, nullptr, error);
    if (got == 0) {
      ended = true;
      break;
    }
    // A failed read must not pass for a file of zero bytes.
    if (got < 0) throw EFOpenError::ForPath(fileName, error);
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
AnsiString readRest(const platform::File& file, const UnicodeString& fileName, std::size_t size,
                    std::string_view held, bool& ended) {
  AnsiString content = allocateContent(size);
  // The buffer may be shorter than asked when a test stands in for the sizing.
  const std::size_t copied = std::min(held.size(), content.size());
  if (copied != 0) std::memcpy(content.data(), held.data(), copied);
  readExactly(file, fileName, content.data() + copied, content.size() - copied, ended);
  return content;
}

// Grows the buffer to size bytes through the sizing seam, or raises the memory message.
void growContent(AnsiString& content, std::size_t size) {
  try {
    resizeFunction(content, size);
  } catch (const std::bad_alloc&) {
    throw Exception(MemoryMessage);
  } catch (const std::length_error&) {
    throw Exception(MemoryMessage);
  }
  if (content.size() < size) throw Exception(MemoryMessage);
}

// The size of what a file whose size is not known in advance is read into at first.
constexpr std::size_t StreamFirstBytes = std::size_t{1} << 20;

// The size a regular file is read with; a file that tells no size is read to its end.
std::optional<std::uint64_t> sizeToRead(const platform::File& file, const UnicodeString& fileName) {
  platform::FileStatus status;
  if (const int error = file.Status(status); error != 0) {
    throw EFOpenError::ForPath(fileName, error);
  }
  if (status.kind == platform::FileKind::Regular && status.size > 0) return status.size;
  return std::nullopt;
}

}  // namespace

platform::File OpenForReading(const UnicodeString& fileName) {
  platform::File file;
  if (const int error = platform::File::Open(ToUtf8(fileName), file); error != 0) {
    throw EFOpenError::ForPath(fileName, error);
  }
  return file;
}

AnsiString ReadContent(const platform::File& file, const UnicodeString& fileName,
                       std::uint64_t size) {
  if (size > SIZE_MAX) throw Exception(MemoryMessage);
  bool ended = false;
  return readRest(file, fileName, static_cast<std::size_t>(size), {}, ended);
}

AnsiString ReadToEnd(const platform::File& file, const UnicodeString& fileName,
                     const std::atomic<bool>* cancel) {
  // The first piece is read before anything is allocated: most such files are empty.
  char first[65536];
  auto readSome = [&](char* into, std::size_t count) {
    int error = 0;
    const std::int64_t got = file.Read(into, count, cancel, error);
    if (got < 0 && error == ECANCELED) throw ECancelled();
    if (got < 0) throw EFOpenError::ForPath(fileName, error);
    return static_cast<std::size_t>(got);
  };
  std::size_t used = readSome(first, sizeof first);
  if (used == 0) return {};
  // No more than the machine's memory: a device that never ends gives the memory message, as a
  // regular file too large to hold does, instead of taking all there is.
  const std::uint64_t limit = platform::PhysicalMemoryBytes();
  AnsiString content;
  growContent(content, std::max(StreamFirstBytes, used));
  std::memcpy(content.data(), first, used);
  for (;;) {
    if (used == content.size()) {
      if (limit != 0 && used >= limit) throw Exception(MemoryMessage);
      std::uint64_t next = std::uint64_t{content.size()} * 2;
      if (limit != 0) next = std::min(next, limit);
      if (next > SIZE_MAX) throw Exception(MemoryMessage);
      growContent(content, static_cast<std::size_t>(next));
    }
    const std::size_t got = readSome(content.data() + used, content.size() - used);
    if (got == 0) break;
    used += got;
  }
  content.resize(used);
  return content;
}

AnsiString LoadFileToAnsiString(const UnicodeString& fileName) {
  const platform::File file = OpenForReading(fileName);
  const std::optional<std::uint64_t> size = sizeToRead(file, fileName);
  if (!size) return ReadToEnd(file, fileName);
  return ReadContent(file, fileName, *size);
}

UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName, std::uint16_t* detected) {
  const platform::File file = OpenForReading(fileName);
  const std::optional<std::uint64_t> known = sizeToRead(file, fileName);
  if (!known) return TStringUtility::ConvertToUnicodeString(ReadToEnd(file, fileName), detected);
  if (*known > SIZE_MAX) throw Exception(MemoryMessage);
  const auto size = static_cast<std::size_t>(*known);
  // The detection needs the byte after its window as well.
  const std::size_t firstBytes = std::max(pieceBytes, TStringUtility::MaxDetectBytes + 1);
  bool ended = false;
  if (size <= firstBytes) {
    const AnsiString content = readRest(file, fileName, size, {}, ended);
    return TStringUtility::ConvertToUnicodeString(content, detected);
  }
  try {
    AnsiString buffer(firstBytes, '\0');
    readExactly(file, fileName, buffer.data(), firstBytes, ended);
    const std::uint16_t codePage = TStringUtility::DetectCodePage(buffer);
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
        const std::size_t lf = std::string_view(buffer.data(), held).rfind('\n');
        cut = lf == std::string_view::npos ? 0 : lf + 1;
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
    throw Exception(MemoryMessage);
  } catch (const std::length_error&) {
    throw Exception(MemoryMessage);
  }
}

}  // namespace norvalis::TFileUtility
