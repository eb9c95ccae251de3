#include "csv/Csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "csv/CsvIndex.h"
#include "text/CodePage.h"

namespace norvalis {
namespace {

// Makes every row as wide as the widest one, as a loaded table reads.
CsvRows padded(CsvRows rows) {
  std::size_t width = 0;
  for (const auto& row : rows)
    width = std::max(width, row.size());
  for (auto& row : rows)
    row.resize(width);
  return rows;
}

// Readable form of a table for failure messages: rows in [], cells split by |.
std::string describe(const CsvRows& rows) {
  std::string out;
  for (const auto& row : rows) {
    out += '[';
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i != 0) out += " | ";
      out += ToUtf8(row[i]);
    }
    out += ']';
  }
  return out;
}

CsvRows loadedRows(const UnicodeString& text) {
  TCsv csv;
  EXPECT_TRUE(csv.LoadFromText(text));
  const CsvRows rows = csv.GetRows();
  EXPECT_EQ(csv.GetRowCount(), rows.size());
  EXPECT_EQ(csv.GetColCount(), rows.empty() ? 0u : rows.front().size());
  return rows;
}

struct DialectCase {
  const char* name;
  UnicodeString text;
  CsvRows table;  // as loaded: rectangular
};

const DialectCase DialectCases[] = {
    {"EmptyText", u"", {}},
    {"CrLfOnly", u"\r\n", {}},
    {"LineBreaksOnly", u"\n\n\n", {}},
    {"FinalLineBreakAddsNoRow", u"a,b,c\r\n1,2,3\r\n", {{u"a", u"b", u"c"}, {u"1", u"2", u"3"}}},
    {"ShortRowIsPadded", u"a,b,c\n1", {{u"a", u"b", u"c"}, {u"1", u"", u""}}},
    {"TrailingCommaAddsNoColumn", u"a,b,\nc,d,", {{u"a", u"b"}, {u"c", u"d"}}},
    {"EmptyFieldBetween", u"a,,c", {{u"a", u"", u"c"}}},
    {"LineOfCommasBeforeContent", u",,\nx", {{u""}, {u"x"}}},
    {"EmptyLinesBeforeContent", u"\n\na", {{u""}, {u""}, {u"a"}}},
    {"EmptyLinesAfterContent", u"a\n\n", {{u"a"}}},
    {"QuotedComma", u"\"a,b\",c", {{u"a,b", u"c"}}},
    {"DoubledQuote", u"\"a\"\"b\"", {{u"a\"b"}}},
    {"CrDroppedInsideQuotes", u"\"x\r\ny\",z", {{u"x\ny", u"z"}}},
    {"QuoteInsideUnquotedField", u"a\"b,c", {{u"a\"b", u"c"}}},
    {"LeadingSpaceMakesFieldUnquoted", u" \"a\",b", {{u" \"a\"", u"b"}}},
    {"TextAfterClosingQuoteJoinsCell", u"\"a\" ,b", {{u"a ", u"b"}}},
    {"QuoteAfterClosingQuoteReopens", u"\"a\"b\"c\"", {{u"ab\"c"}}},
    {"EmptyQuotedFieldAlone", u"\"\"", {}},
    {"EmptyQuotedFieldLast", u"a,\"\"", {{u"a"}}},
    {"EmptyQuotedFieldBetween", u"a,\"\",b", {{u"a", u"", u"b"}}},
    {"UnclosedQuote", u"\"abc", {{u"abc"}}},
    {"UnclosedQuoteRunsToTheEnd", u"\"ab\nc,d", {{u"ab\nc,d"}}},
    {"TabAndSemicolonAreContent", u"a\tb;c", {{u"a\tb;c"}}},
    {"CrAloneRunsLinesTogether", u"a\rb\rc", {{u"abc"}}},
    {"ControlsDeleteAndU0080Dropped",
     UnicodeString{u'a', 0x0000, 0x0007, 0x007F, 0x0080, u'b'},
     {{u"ab"}}},
    {"U0081AndKanaKept",
     UnicodeString{u'a', 0x0081, 0x3042, u'b'},
     {{UnicodeString{u'a', 0x0081, 0x3042, u'b'}}}},
    {"ByteOrderMarkIsContent", UnicodeString{0xFEFF, u'a'}, {{UnicodeString{0xFEFF, u'a'}}}},
    {"QuotedFieldEndsRowAtLf", u"\"a\"\nb", {{u"a"}, {u"b"}}},
    {"AllControlsBelowSpaceExceptTabAndLfDropped",
     UnicodeString{u'x', 1, 2, 3, 4, 5, 6, 8, 0x0B, 0x0C, 0x0E, 0x0F, 0x10, 0x1B, 0x1F, u'y'},
     {{u"xy"}}},
    {"DroppedUnitAtFieldStartKeepsQuoting",
     UnicodeString{0x0000, u'"', u'a', u',', u'b', u'"'},
     {{u"a,b"}}},
    {"SurrogatesKept", UnicodeString{0xD83D, 0xDE00, u',', 0xDC00}, {{u"😀", u"\xDC00"}}},
    {"TripleQuoteIsOneQuoteCell", u"\"\"\"\"", {{u"\""}}},
    {"QuotedEmptyThenText", u"\"\"x,y", {{u"x", u"y"}}},
    {"LfAfterClosingQuoteInsideText", u"\"a\"b\nc", {{u"ab"}, {u"c"}}},
};

TEST(CsvDialect, ExamplesLoadAsExpected) {
  for (const DialectCase& c : DialectCases) {
    SCOPED_TRACE(c.name);
    const CsvRows rows = loadedRows(c.text);
    EXPECT_EQ(rows, c.table) << describe(rows);
  }
}

TEST(CsvDialect, ReferenceParserAgreesWithExamples) {
  for (const DialectCase& c : DialectCases) {
    SCOPED_TRACE(c.name);
    const CsvRows rows = padded(ParseCsvText(c.text));
    EXPECT_EQ(rows, c.table) << describe(rows);
  }
}

TEST(CsvDialect, ReferenceParserKeepsRowsRagged) {
  struct Case {
    const char* name;
    UnicodeString text;
    CsvRows rows;
  };
  const Case cases[] = {
      {"EmptyLinesBecomeRowsWithoutCells", u"\n\na", {{}, {}, {u"a"}}},
      {"ShortRowKeepsItsWidth", u"a,b,c\n1", {{u"a", u"b", u"c"}, {u"1"}}},
      {"EmptyFieldsBeforeContentBecomeCells", u",,x\ny", {{u"", u"", u"x"}, {u"y"}}},
      {"LineOfCommasBecomesRowWithoutCells", u",,\nx", {{}, {u"x"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseCsvText(c.text), c.rows);
  }
}

TEST(CsvDialect, AppendCellCharGrowsRowsAndCellsOnDemand) {
  CsvRows rows;
  AppendCellChar(1, 2, u'x', rows);
  EXPECT_EQ(rows, (CsvRows{{}, {u"", u"", u"x"}}));
  AppendCellChar(1, 2, u'y', rows);
  AppendCellChar(1, 0, u'z', rows);
  AppendCellChar(0, 1, u'w', rows);
  EXPECT_EQ(rows, (CsvRows{{u"", u"w"}, {u"z", u"", u"xy"}}));
}

constexpr char16_t Alphabet[] = {u'a',  u'あ',  u',',   u'"',   u'\n',  u'\r',
                                 u'\t', 0x0000, 0x007F, 0x0080, 0xFEFF, u' '};

// contentShare: the chance of a plain letter (a or あ) instead of a unit picked evenly from
// the whole alphabet; high values give long runs of content between the separators.
UnicodeString randomText(std::mt19937& random, std::size_t length, double contentShare = 0) {
  std::uniform_int_distribution<std::size_t> pick(0, std::size(Alphabet) - 1);
  std::bernoulli_distribution plain(contentShare);
  UnicodeString text(length, u'\0');
  for (char16_t& unit : text)
    unit = plain(random) ? Alphabet[pick(random) % 2] : Alphabet[pick(random)];
  return text;
}

// The in-place parser must give exactly the table of the unit-by-unit reference.
void expectSameTableAsReference(const UnicodeString& text) {
  const CsvRows expected = padded(ParseCsvText(text));
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(UnicodeString(text)));
  const CsvRows actual = csv.GetRows();
  ASSERT_EQ(actual, expected) << "text: " << ToUtf8(text) << "\nfast:      " << describe(actual)
                              << "\nreference: " << describe(expected);
  // The cell-by-cell route and rows read into buffers that still hold the previous row's text
  // (both are cut where they were decoded) give the same table.
  const CsvTable& table = csv.Table();
  CsvRows byCell(actual.size());
  std::vector<UnicodeString> reused;
  UnicodeString cell;
  for (std::uint32_t row = 0; row < table.RowCount(); ++row) {
    table.RowCells(row, reused);
    ASSERT_EQ(reused, expected[row]) << "text: " << ToUtf8(text) << ", row " << row;
    for (std::uint32_t col = 0; col < table.ColCount(); ++col) {
      table.CellText(table.RawCell(row, col), cell);
      byCell[row].push_back(cell);
    }
  }
  ASSERT_EQ(byCell, expected) << "text: " << ToUtf8(text) << "\nby cell: " << describe(byCell);
}

TEST(CsvDialect, InPlaceParserMatchesReferenceOnRandomTexts) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> shortLength(0, 24);
  std::uniform_int_distribution<std::size_t> longLength(25, 300);
  for (int i = 0; i < 30000; ++i) {
    const std::size_t length = i % 4 == 0 ? longLength(random) : shortLength(random);
    expectSameTableAsReference(randomText(random, length));
    if (HasFatalFailure()) return;
  }
}

TEST(CsvDialect, InPlaceParserMatchesReferenceOnLongRunsOfContent) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<std::size_t> length(0, 400);
  for (const double contentShare : {0.8, 0.95, 0.99}) {
    SCOPED_TRACE(contentShare);
    for (int i = 0; i < 3000; ++i) {
      expectSameTableAsReference(randomText(random, length(random), contentShare));
      if (HasFatalFailure()) return;
    }
  }
}

// The parse runs in slices for the yield hook; its state must carry across them.
TEST(CsvDialect, InPlaceParserMatchesReferenceAcrossSlices) {
  std::mt19937 random(7);
  for (int i = 0; i < 4; ++i) {
    expectSameTableAsReference(randomText(random, 200000 + 12345 * i, i * 0.3));
    if (HasFatalFailure()) return;
  }
  // One quoted cell and one unquoted cell far longer than a slice.
  const UnicodeString longCell(150000, u'x');
  expectSameTableAsReference(u"\"" + longCell + u",\n\"\"" + longCell + u"\",b\n" + longCell +
                             u"\r,c");
}

// The index over a decoded text, as TCsv::LoadFromText builds it.
CsvIndex::Index indexText(const UnicodeString& text, const CsvIndex::Limits& limits = {}) {
  CsvIndex::Source source;
  source.kind = CsvIndex::Units::Text;
  source.data = reinterpret_cast<const char*>(text.data());
  source.units = text.size();
  YieldHook noHook;
  return CsvIndex::Build(source, noHook, nullptr, limits);
}

TEST(CsvTableShape, WideRowReadsRectangular) {
  constexpr std::uint32_t Width = 1000000;
  constexpr std::uint32_t NarrowRows = 1000;
  UnicodeString text;
  for (std::uint32_t col = 0; col < Width; ++col)
    text += col == 0 ? u"x" : u",x";
  for (std::uint32_t row = 0; row < NarrowRows; ++row)
    text += u"\ny";
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(std::move(text)));
  const CsvTable& table = *csv.Share();
  EXPECT_EQ(table.RowCount(), NarrowRows + 1);
  EXPECT_EQ(table.ColCount(), Width);
  EXPECT_EQ(table.Cell(0, 0), u"x");
  EXPECT_EQ(table.Cell(0, Width - 1), u"x");
  EXPECT_EQ(table.Cell(0, Width), u"");
  EXPECT_EQ(table.Cell(1, 0), u"y");
  EXPECT_EQ(table.Cell(NarrowRows, 0), u"y");
  EXPECT_EQ(table.Cell(1, 1), u"");
  EXPECT_EQ(table.Cell(NarrowRows, Width - 1), u"");
  EXPECT_EQ(table.Cell(NarrowRows + 1, 0), u"");
}

TEST(CsvTableShape, EmptyCellsLeftOfContentCountButNotRight) {
  const CsvIndex::Index index = indexText(u",,z,,,\n\n,,,");
  ASSERT_TRUE(index.ok);
  EXPECT_EQ(index.rowCount, 1u);
  EXPECT_EQ(index.colCount, 3u);
}

TEST(CsvTableShape, TableBeyondTheLimitsFailsInsteadOfWrapping) {
  struct Case {
    const char* name;
    CsvIndex::Limits limits;
    UnicodeString text;
    bool ok;
  };
  const CsvIndex::Limits rows3{3, 100};
  const CsvIndex::Limits cells3{100, 3};
  const Case cases[] = {
      {"RowsAtLimit", rows3, u"a\nb\nc", true},
      {"RowsOverLimit", rows3, u"a\nb\nc\nd", false},
      {"EmptyLinesAfterLastRowDoNotCount", rows3, u"a\nb\nc\n\n\n,,\n\"\"", true},
      {"EmptyRowBeforeContentCounts", rows3, u"a\n\n\n\nb", false},
      {"CellsAtLimit", cells3, u"a,b,c", true},
      {"CellsOverLimit", cells3, u"a,b,c,d", false},
      {"TrailingEmptyFieldsDoNotCount", cells3, u"a,b,c,,,\"\"", true},
      {"EmptyCellsLeftOfContentCount", cells3, u",,,x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CsvIndex::Index index = indexText(c.text, c.limits);
    EXPECT_EQ(index.ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(padded(ParseCsvText(c.text)).size(), index.rowCount);
    }
  }
}

// The index over UTF-8 bytes, as a load of a UTF-8 file builds it.
CsvIndex::Index indexUtf8(const std::string& bytes, const CsvIndex::Limits& limits) {
  CsvIndex::Source source;
  source.kind = CsvIndex::Units::Bytes;
  source.codePage = CodePage::Utf8;
  source.data = bytes.data();
  source.units = bytes.size();
  YieldHook noHook;
  return CsvIndex::Build(source, noHook, nullptr, limits);
}

// Cut into parts scanned on threads of their own, the index must be the one pass's: parts that
// begin inside quotes are scanned again, the rest joined at their line ends.
TEST(CsvTableShape, IndexInPartsEqualsTheOnePass) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<std::size_t> length(0, 200);
  const CsvIndex::Limits whole{.unitsPerPart = UINT64_MAX};
  for (int i = 0; i < 4000; ++i) {
    const UnicodeString text = randomText(random, length(random));
    const std::string utf8 = ToUtf8(text);
    const CsvIndex::Index expected[] = {indexText(text, whole), indexUtf8(utf8, whole)};
    for (const unsigned parts : {2u, 3u, 7u}) {
      const CsvIndex::Limits cut{.unitsPerPart = 1, .parts = parts};
      const CsvIndex::Index actual[] = {indexText(text, cut), indexUtf8(utf8, cut)};
      for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(std::to_string(parts) + (k == 0 ? " parts of text: " : " parts of bytes: ") +
                     utf8);
        ASSERT_EQ(actual[k].ok, expected[k].ok);
        ASSERT_EQ(actual[k].rowCount, expected[k].rowCount);
        ASSERT_EQ(actual[k].colCount, expected[k].colCount);
        ASSERT_EQ(actual[k].rowStart, expected[k].rowStart);
      }
    }
  }
  // The limits hold over the parts joined, not over each part.
  const CsvIndex::Limits rows3{.rows = 3, .unitsPerPart = 1, .parts = 4};
  EXPECT_TRUE(indexText(u"a\nb\nc\n\n", rows3).ok);
  EXPECT_FALSE(indexText(u"a\nb\nc\nd\n", rows3).ok);
  const CsvIndex::Limits cells2{.cellsPerRow = 2, .unitsPerPart = 1, .parts = 4};
  EXPECT_FALSE(indexText(u"a\nb\nc\nd,e,f\n", cells2).ok);
}

// A column's raw cells read for many rows in one walk must be RawField's, row by row: in both
// byte code pages, from any first row, at the content's end, and for every column.
TEST(CsvTableShape, ColumnWalkEqualsFieldByField) {
  std::mt19937 random(20261211);
  // Bytes the dialect treats apart: quotes, separators, what it drops (CR, NUL, DEL, U+0080 as
  // C2 80 in UTF-8 or 0x80 in Shift_JIS) and plain text, mostly plain so rows run long.
  const std::string_view pieces[] = {"\"",   ",",        "\n",   "\r",   std::string_view("\0", 1),
                                     "\x7F", "\xC2\x80", "\x80", "\"\"", ",\"",
                                     "\t"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<std::size_t> length(0, 900);
  std::bernoulli_distribution plain(0.85);
  for (int i = 0; i < 1500; ++i) {
    std::string bytes;
    const std::size_t units = length(random);
    while (bytes.size() < units)
      bytes += plain(random) ? (i % 3 == 0 ? "\xE3\x81\x82" : "ab") : pieces[pick(random)];
    for (const std::uint16_t codePage : {CodePage::Utf8, std::uint16_t{932}}) {
      CsvIndex::Source source;
      source.kind = CsvIndex::Units::Bytes;
      source.codePage = codePage;
      source.data = bytes.data();
      source.units = bytes.size();
      YieldHook noHook;
      const CsvIndex::Index index = CsvIndex::Build(source, noHook);
      ASSERT_TRUE(index.ok);
      const std::uint32_t first =
          index.rowCount > 0 ? static_cast<std::uint32_t>(i) % index.rowCount : 0;
      std::vector<std::string_view> walked(index.rowCount);
      for (std::uint32_t col = 0; col <= index.colCount; ++col) {
        CsvIndex::RawFields(source, index, col, first, index.rowCount, walked.data());
        for (std::uint32_t row = first; row < index.rowCount; ++row) {
          const std::string_view expected = CsvIndex::RawField(source, index, row, col);
          ASSERT_EQ(walked[row - first].data(), expected.data())
              << "code page " << codePage << ", row " << row << ", col " << col << ": " << bytes;
          ASSERT_EQ(walked[row - first].size(), expected.size())
              << "code page " << codePage << ", row " << row << ", col " << col << ": " << bytes;
        }
      }
    }
  }
}

}  // namespace
}  // namespace norvalis
