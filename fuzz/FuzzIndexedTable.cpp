// The byte-indexed table against the literal route: any bytes, in each code page that has a
// route of its own, load to the table that reading whole, decoding and ParseCsvText give.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "csv/Csv.h"
#include "text/StringUtility.h"

using namespace norvalis;

namespace {

constexpr std::uint16_t CodePages[] = {0, 932, 20932, 65001, 65535, 1200, 1201, 50220, 12000};

// A file in memory whose path the loader can open.
struct MemoryFile {
  MemoryFile() : fd(memfd_create("fuzz-table", 0)), path("/proc/self/fd/" + std::to_string(fd)) {}
  ~MemoryFile() { ::close(fd); }
  void Write(std::string_view bytes) {
    fuzz::Require(::ftruncate(fd, 0) == 0, "truncate");
    fuzz::Require(::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
                  "write");
  }
  int fd;
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static MemoryFile file;
  const std::uint16_t codePage = CodePages[data[0] % std::size(CodePages)];
  const std::string_view bytes = fuzz::AsBytes(data + 1, size - 1);
  file.Write(bytes);

  const UnicodeString text = codePage == 0 ? TStringUtility::ConvertToUnicodeString(bytes)
                                           : TStringUtility::ConvertByCodePage(bytes, codePage);
  const CsvRows literal = ParseCsvText(text);
  std::size_t width = 0;
  for (const auto& row : literal)
    width = std::max(width, row.size());

  TCsv csv;
  fuzz::Require(csv.Load(FromUtf8(file.path), codePage).ok(), "load failed");
  fuzz::Require(csv.GetRowCount() == literal.size(), "row count differs");
  fuzz::Require(csv.GetColCount() == width, "column count differs");
  const CsvRows rows = csv.GetRows();
  for (std::size_t r = 0; r < literal.size(); ++r) {
    for (std::size_t c = 0; c < width; ++c) {
      const UnicodeString expected = c < literal[r].size() ? literal[r][c] : UnicodeString();
      fuzz::Require(rows[r][c] == expected, "row cell differs");
      fuzz::Require(csv.GetCell(r, c) == expected, "cell differs");
    }
  }
  return 0;
}
