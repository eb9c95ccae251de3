// A table read through a pipe fed in pieces of any sizes against the same bytes read from a
// regular file: the same rows, the same code page, the same stop at a NUL.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "FuzzInput.h"
#include "csv/Csv.h"

using namespace norvalis;

namespace {

constexpr std::uint16_t CodePages[] = {0, 932, 20932, 65001, 65535, 1200, 1201, 50220, 12000};

// A regular file in memory whose path the loader can open.
struct MemoryFile {
  MemoryFile() : fd(memfd_create("fuzz-pipe", 0)), path("/proc/self/fd/" + std::to_string(fd)) {}
  ~MemoryFile() { ::close(fd); }
  void Write(std::string_view bytes) {
    fuzz::Require(::ftruncate(fd, 0) == 0, "truncate");
    fuzz::Require(::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
                  "write");
  }
  int fd;
  std::string path;
};

// Writes the bytes in pieces whose sizes come from seed, then closes the pipe.
void Feed(int fd, std::string_view bytes, std::uint32_t seed) {
  for (std::size_t at = 0; at < bytes.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t piece = std::min<std::size_t>(1 + (seed >> 16) % 600, bytes.size() - at);
    const ssize_t written = ::write(fd, bytes.data() + at, piece);
    if (written <= 0) break;
    at += static_cast<std::size_t>(written);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static MemoryFile file;
  static const bool ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  fuzz::Require(ignored, "SIGPIPE");
  const std::uint16_t codePage = CodePages[data[0] % std::size(CodePages)];
  const std::string_view bytes = fuzz::AsBytes(data + 2, size - 2);
  file.Write(bytes);
  TCsv fromFile;
  const CsvLoadResult fileResult = fromFile.Load(FromUtf8(file.path), codePage);
  fuzz::Require(fileResult.ok(), "file load failed");

  int ends[2];
  fuzz::Require(::pipe2(ends, O_CLOEXEC) == 0, "pipe");
  std::thread writer(Feed, ends[1], bytes, data[1]);
  TCsv fromPipe;
  const CsvLoadResult pipeResult =
      fromPipe.Load(FromUtf8("/proc/self/fd/" + std::to_string(ends[0])), codePage);
  writer.join();
  ::close(ends[0]);
  fuzz::Require(pipeResult.ok(), "pipe load failed");
  fuzz::Require(pipeResult.stoppedAt == fileResult.stoppedAt, "stopped elsewhere");
  fuzz::Require(fromPipe.CodePage() == fromFile.CodePage(), "code page differs");
  fuzz::Require(fromPipe.GetRows() == fromFile.GetRows(), "rows differ");
  return 0;
}
