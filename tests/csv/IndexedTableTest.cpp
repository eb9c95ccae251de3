// The byte-indexed table against the literal route (whole read, decode, ParseCsvText, padding),
// cell by cell.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "CsvTestSupport.h"
#include "check/ColumnCheck.h"
#include "text/FileUtility.h"
#include "text/StringUtility.h"

namespace norvalis::test {
namespace {

// What the literal route makes of the bytes, padded to a rectangle.
CsvRows LiteralRows(const std::string& bytes, std::uint16_t codePage) {
  const UnicodeString text = codePage == 0 ? TStringUtility::ConvertToUnicodeString(bytes)
                                           : TStringUtility::ConvertByCodePage(bytes, codePage);
  CsvRows rows = ParseCsvText(text);
  std::size_t width = 0;
  for (const auto& row : rows)
    width = std::max(width, row.size());
  for (auto& row : rows)
    row.resize(width);
  return rows;
}

class IndexedTableTest : public test::ReaderTest {
 protected:
  // Loads the bytes through the file route and compares every way of reading the table.
  void ExpectSameAsLiteral(const std::string& bytes, std::uint16_t codePage) {
    const std::string path = Path("table.csv");
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out << bytes;
    }
    const CsvRows expected = LiteralRows(bytes, codePage);
    TCsv csv;
    const CsvLoadResult result = csv.Load(FromUtf8(path), codePage);
    ASSERT_TRUE(result.ok());
    const CsvRows rows = csv.GetRows();
    ASSERT_EQ(csv.GetRowCount(), expected.size());
    ASSERT_EQ(csv.GetColCount(), expected.empty() ? 0 : expected[0].size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < rows[r].size(); ++c) {
        ASSERT_EQ(Hex(rows[r][c]), Hex(expected[r][c])) << "row " << r << " col " << c;
        // Reading one cell locates it on its own.
        ASSERT_EQ(Hex(csv.GetCell(r, c)), Hex(expected[r][c])) << "row " << r << " col " << c;
      }
    }
  }
};

TEST_F(IndexedTableTest, DataFilesAndExamplesReadAsTheLiteralRoute) {
  for (const char* folder : {NORVALIS_TEST_DATA "/text", NORVALIS_EXAMPLES}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      ExpectSameAsLiteral(ReadFile(entry.path().string()), 0);
    }
  }
}

TEST_F(IndexedTableTest, DelimitersNextToInvalidAndCutSequences) {
  const struct {
    const char* name;
    std::string bytes;
    std::uint16_t codePage;
  } cases[] = {
      {"Shift_JIS lead before each delimiter",
       Bytes({0x82, ',', 0x82, '"', 0x82, '\r', 0x82, '\n', 'a', 0x82}), 932},
      {"Shift_JIS 0x80 alone decides no field",
       Bytes({0x80, '"', 'a', ',', 'b', '"', ',', 0x80, ',', 'c', '\n', 0x80, '\n', 0x81, 0x80}),
       932},
      {"Shift_JIS trail bytes that are ASCII", Bytes({'"', 0x83, 0x5C, '"', ',', 0x95, 0x5C, ','}),
       932},
      {"EUC-JP cut sequences",
       Bytes({0x8F, 0xA1, ',', 0x8E, '\n', 0xA4, '"', 0x80, ',', 'x', 0x8F}), 20932},
      {"UTF-8 U+0080 at a field start",
       Bytes({0xC2, 0x80, '"', 'a', ',', '"', ',', 0xC2, 0x80, ',', 'b', ',', 0xC2, '\n', 0xE3,
              0x81, ',', 0xE3}),
       65001},
      {"UTF-8 mark", Bytes({0xEF, 0xBB, 0xBF, '"', 'a', '"', ',', 0xEF, 0xBB, 0xBF}), 65001},
      {"ANSI stops at the zero byte", Bytes({'a', ',', 'b', '\n', 0, 'c', '\n'}), 65535},
      {"UTF-16 LE odd last byte", Bytes({0xFF, 0xFE, 'a', 0, ',', 0, ',', 0, 'b'}), 1200},
      {"UTF-16 LE lone surrogates by commas",
       Bytes({0x00, 0xD8, ',', 0, 0x00, 0xDC, '"', 0, 0x3D, 0xD8, 0x00, 0xDE}), 1200},
      {"UTF-16 BE cut at U+0000", Bytes({0xFE, 0xFF, 0, 'a', 0, ',', 0, 0, 0, 'b'}), 1201},
      {"ISO-2022-JP decoded first",
       Bytes({0x1B, '$', 'B', 0x24, 0x22, 0x1B, '(', 'B', ',', '"', 'x', '"', '\n'}), 50220},
      {"quoted fields spanning lines", "\"a\r\nb\",\"c\"\"d\"e\"f\",\n\n\"\",,\"", 932},
      {"controls, lone CR and DEL",
       Bytes({'a', 0x01, '\r', 'b', 0x7F, ',', 0x1F, '"', 'q', '"', 0x0C, '\n', '\r', '\n', 0x00,
              ',', 'z'}),
       932},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSameAsLiteral(c.bytes, c.codePage);
    ExpectSameAsLiteral(c.bytes, 0);
  }
}

// Random content from the bytes that matter, long enough to cross the 64-byte blocks the
// index scans at once; every code page that has its own route.
TEST_F(IndexedTableTest, RandomContentInEveryCodePage) {
  const unsigned char alphabet[] = {'"',  '"',  '"',  ',',  ',',  ',',  '\n', '\n',
                                    '\r', 'a',  'b',  ' ',  0x00, 0x09, 0x7F, 0x80,
                                    0x81, 0x82, 0xA0, 0xA4, 0xC2, 0xE3, 0x8E, 0x8F,
                                    0xD8, 0xDC, 0xFF, 0xFE, 0x1B, '$',  '(',  'B'};
  std::mt19937 random(20261209);
  for (const std::uint16_t codePage : {932, 20932, 65001, 65535, 1200, 1201, 50220, 12000}) {
    for (int round = 0; round < 60; ++round) {
      std::string bytes(std::uniform_int_distribution<int>(0, 600)(random), '\0');
      for (char& b : bytes)
        b = static_cast<char>(alphabet[random() % sizeof alphabet]);
      SCOPED_TRACE(testing::Message() << "code page " << codePage << " round " << round);
      ExpectSameAsLiteral(bytes, codePage);
      if (HasFailure()) return;
    }
  }
}

// Random rows shaped as CSV files are (quoted and bare fields, delimiters inside quotes, long
// fields across blocks), with now and then what makes a row need the exact walk: a doubled
// quote, a quote in a bare field, a dropped byte before an opening quote.
TEST_F(IndexedTableTest, RandomlyShapedRowsReadAsTheLiteralRoute) {
  const char* const pieces[] = {"a", "\x82\xa0", "123", ",", "\n", "\"\"", "\r"};
  const char* const odd[] = {"\"\"", "x\"y", "\r\"q\"", "\x80"};
  std::mt19937 random(20261210);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const int rows = std::uniform_int_distribution<int>(1, 12)(random);
    for (int r = 0; r < rows; ++r) {
      const int fields = std::uniform_int_distribution<int>(1, 9)(random);
      for (int f = 0; f < fields; ++f) {
        if (f != 0) bytes += ',';
        const bool quoted = random() % 2 == 0;
        std::string content;
        const int length =
            std::uniform_int_distribution<int>(0, random() % 4 == 0 ? 90 : 8)(random);
        for (int k = 0; k < length; ++k)
          content += quoted ? pieces[random() % std::size(pieces)] : pieces[random() % 3];
        if (random() % 16 == 0) content += odd[random() % std::size(odd)];
        bytes += quoted ? "\"" + content + "\"" : content;
      }
      bytes += random() % 3 == 0 ? "\r\n" : "\n";
    }
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << bytes);
    ExpectSameAsLiteral(bytes, 932);
    ExpectSameAsLiteral(bytes, 65001);
    if (HasFailure()) return;
  }
}

TEST_F(IndexedTableTest, FailedLoadsSayWhy) {
  const std::string folder = Path("folder");
  std::filesystem::create_directory(folder);
  const struct {
    std::string path;
    CsvLoadError error;
  } cases[] = {
      {Path("missing.csv"), CsvLoadError::Missing},
      {Path("missing/inner.csv"), CsvLoadError::Missing},
      {folder, CsvLoadError::Folder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    TCsv csv;
    const CsvLoadResult result = csv.Load(FromUtf8(c.path));
    EXPECT_EQ(result.error, c.error);
    EXPECT_NE(result.message.find(u"は開けません。"), UnicodeString::npos);
    ExpectEmpty(csv);
  }
  std::atomic<bool> cancel{true};
  const std::string path = Path("cancelled.csv");
  std::ofstream(path) << "a,b\n";
  TCsv csv;
  EXPECT_EQ(csv.Load(FromUtf8(path), 0, &cancel).error, CsvLoadError::Cancelled);
  ExpectEmpty(csv);
}

TEST_F(IndexedTableTest, FileChangedOnDiskNeverCrashes) {
  // Rows over several pages, so losing the file's tail loses mapped pages.
  std::string bytes;
  for (int i = 0; i < 4000; ++i)
    bytes += "\x93\x8C\x8B\x9E,\"row " + std::to_string(i) + "\"\r\n";
  const std::string path = Path("changing.csv");
  std::ofstream(path, std::ios::binary) << bytes;
  TCsv csv;
  ASSERT_TRUE(csv.Load(FromUtf8(path)).ok());
  const std::shared_ptr<const CsvTable> table = csv.Share();
  EXPECT_EQ(csv.GetCell(3999, 1), u"row 3999");

  // Deleted, it stays readable through the mapping.
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(csv.GetCell(3999, 0), u"東京");
  EXPECT_FALSE(table->Stale());
  EXPECT_EQ(table->DiskState(), FileState::Gone);

  // Truncated under the table: the lost rows read as empty, and the table knows.
  std::ofstream(path, std::ios::binary) << bytes;
  TCsv again;
  ASSERT_TRUE(again.Load(FromUtf8(path)).ok());
  ASSERT_EQ(::truncate(path.c_str(), 100), 0);
  EXPECT_EQ(again.GetCell(3999, 1), u"");
  EXPECT_EQ(again.GetCell(0, 1), u"row 0");
  EXPECT_TRUE(again.Share()->Stale());
  const FileChange change = again.Share()->DiskChange();
  EXPECT_EQ(change.state, FileState::Changed);
  EXPECT_TRUE(change.pageLost && change.resized);
  EXPECT_NE(FileChangeText(change).find(u"読み込んだ内容の一部がファイルから失われました。"),
            UnicodeString::npos);
  EXPECT_EQ(CheckColumn(again.Table(), false, 0).outcome, CheckResult::Outcome::Differs);
}

#if !defined(NORVALIS_UNDER_SANITIZER)
TEST_F(IndexedTableTest, BusErrorsOutsideTablesStayCrashes) {
  const std::string path = Path("other.bin");
  std::ofstream(path, std::ios::binary) << std::string(3 * 4096, 'x');
  const std::string table = Path("table.csv");
  std::ofstream(table, std::ios::binary) << "a,b\n";
  TCsv csv;
  ASSERT_TRUE(csv.Load(FromUtf8(table)).ok());
  EXPECT_EXIT(
      {
        const int fd = ::open(path.c_str(), O_RDONLY);
        const auto* p = static_cast<const volatile char*>(
            ::mmap(nullptr, 3 * 4096, PROT_READ, MAP_PRIVATE, fd, 0));
        if (::truncate(path.c_str(), 0) != 0) std::_Exit(2);
        std::_Exit(p[2 * 4096]);
      },
      testing::KilledBySignal(SIGBUS), "");
}
#endif

TEST_F(IndexedTableTest, CheckDecodesCellsWhoseBytesDiffer) {
  // 0x8790 and 0x81E0 are the NEC and the JIS code of the same character in code page 932.
  const std::string bytes =
      Bytes({0x87, 0x90, '\n', 0x81, 0xE0, '\n', '"', 0x87, 0x90, '"', '\n', 0x87, 0x91, '\n'});
  const std::string path = Path("nec.csv");
  std::ofstream(path, std::ios::binary) << bytes;
  TCsv csv;
  ASSERT_TRUE(csv.Load(FromUtf8(path), 932).ok());
  ASSERT_EQ(csv.GetCell(0, 0), csv.GetCell(1, 0));
  const CheckResult result = CheckColumn(csv.Table(), false, 0);
  EXPECT_EQ(result.outcome, CheckResult::Outcome::Differs);
  EXPECT_EQ(result.rowIndex, 3u);
  EXPECT_EQ(result.cell, csv.GetCell(3, 0));
}

}  // namespace
}  // namespace norvalis::test
