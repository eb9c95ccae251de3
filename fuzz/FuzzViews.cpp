// Every differing row and a column's values against the literal route (whole decoding,
// ParseCsvText, std::map counting), and a row's saved line against the file's own bytes, for
// any bytes in each code page that has a route of its own.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "FuzzInput.h"
#include "check/ColumnValues.h"
#include "check/RowFilter.h"
#include "check/RowPass.h"
#include "csv/Csv.h"
#include "text/StringUtility.h"

using namespace norvalis;

namespace {

constexpr std::uint16_t CodePages[] = {932, 20932, 65001, 65535, 1200, 1201, 50220};

struct MemoryFile {
  MemoryFile() : fd(memfd_create("fuzz-views", 0)), path("/proc/self/fd/" + std::to_string(fd)) {}
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
  if (size < 2) return 0;
  static MemoryFile file;
  const std::uint16_t codePage = CodePages[data[0] % std::size(CodePages)];
  const bool title = (data[1] & 1) != 0;
  // Several parts on short inputs too, so the joins of parts are reached.
  RowPass::ForcePartsForTesting(1 + (data[1] >> 1) % 4);
  const std::string_view bytes = fuzz::AsBytes(data + 2, size - 2);
  file.Write(bytes);
  const CsvRows literal = ParseCsvText(TStringUtility::ConvertByCodePage(bytes, codePage));
  TCsv csv;
  fuzz::Require(csv.Load(FromUtf8(file.path), codePage).ok(), "load failed");
  const CsvTable& table = csv.Table();
  auto cell = [&](std::size_t r, std::size_t c) {
    return c < literal[r].size() ? literal[r][c] : UnicodeString();
  };

  const std::size_t reference = title ? 1 : 0;
  for (std::uint32_t col = 0; col < std::min<std::uint32_t>(table.ColCount() + 1, 4); ++col) {
    const Differences found = FindDifferences(table, title, col);
    RowList expected;
    for (std::size_t r = reference + 1; r < literal.size(); ++r)
      if (cell(r, col) != cell(reference, col)) expected.push_back(static_cast<std::uint32_t>(r));
    fuzz::Require(found.rows == expected, "differing rows differ");

    std::map<UnicodeString, std::pair<std::uint64_t, std::uint32_t>> counted;
    for (std::size_t r = reference; r < literal.size(); ++r) {
      auto [it, added] = counted.try_emplace(cell(r, col), 0, static_cast<std::uint32_t>(r));
      ++it->second.first;
    }
    const ColumnValues values = CountColumnValues(table, title, col);
    fuzz::Require(values.values.size() == counted.size(), "value count differs");
    for (const ColumnValue& value : values.values) {
      const auto it = counted.find(value.text);
      fuzz::Require(it != counted.end() && it->second.first == value.count &&
                        it->second.second == value.firstRow,
                    "value differs");
    }
  }

  // The saved lines of a table of the file's own bytes are those bytes, from the start.
  if (table.HoldsFileBytes()) {
    std::string lines(table.LeadingBytes());
    for (std::uint32_t r = 0; r < table.RowCount(); ++r)
      lines += table.RowLine(r);
    fuzz::Require(bytes.substr(0, lines.size()) == lines, "lines are not the file's bytes");
  }
  return 0;
}
