// Every differing row, a column's values, the filters and the save, against a plain second
// route over the decoded table, in every encoding a table is read in.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "../support/GeneratedCsv.h"
#include "../support/TempDir.h"
#include "../text/TextTestSupport.h"
#include "check/CaseFold.h"
#include "check/ColumnValues.h"
#include "check/RowFilter.h"
#include "check/RowPass.h"
#include "check/RowsSave.h"
#include "check/RuleCheck.h"

namespace norvalis::test {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ViewsTest : public TempDirTest {
 protected:
  void TearDown() override { RowPass::ForcePartsForTesting(0); }

  // The bytes written to a file and loaded as the code page reads them.
  void Load(TCsv& csv, const std::string& bytes, std::uint16_t codePage,
            const char* name = "table.csv") {
    ASSERT_TRUE(csv.Load(FromUtf8(Write(name, bytes)), codePage).ok());
  }
};

TEST_F(ViewsTest, DifferencesValuesAndFiltersMatchThePlainRouteInEveryEncoding) {
  for (const GeneratedEncoding& e : GeneratedEncodings()) {
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
      const GeneratedFile file = GenerateCsv(e, seed, 60, seed != 2);
      TCsv csv;
      Load(csv, file.bytes, e.codePage);
      const CsvTable& table = csv.Table();
      const CsvRows plain = PlainRows(file.bytes, e.codePage);
      ASSERT_EQ(table.RowCount(), plain.size()) << e.name;
      // One part, and more parts than cores, so the joins of parts are checked on any machine.
      for (const unsigned parts : {1u, 3u}) {
        RowPass::ForcePartsForTesting(parts);
        for (const bool title : {false, true}) {
          for (std::uint32_t col = 0; col <= table.ColCount(); ++col) {
            SCOPED_TRACE(std::string(e.name) + " seed " + std::to_string(seed) + " parts " +
                         std::to_string(parts) + (title ? " title" : "") + " col " +
                         std::to_string(col));
            const Differences found = FindDifferences(table, title, col);
            const auto expected = PlainDifferences(plain, title, col);
            ASSERT_EQ(found.rows.size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
              ASSERT_EQ(found.rows[i], expected[i].first);
              ASSERT_EQ(table.Cell(found.rows[i], col), expected[i].second);
            }
            const CheckResult first = CheckColumn(table, title, col);
            EXPECT_EQ(found.outcome, first.outcome);
            if (!expected.empty()) {
              EXPECT_EQ(found.rows[0], first.rowIndex);
            }

            const ColumnValues values = CountColumnValues(table, title, col);
            const auto plainValues = PlainValues(plain, title, col);
            ASSERT_EQ(values.values.size(), plainValues.size());
            for (std::size_t i = 0; i < plainValues.size(); ++i) {
              EXPECT_EQ(values.values[i].text, std::get<0>(plainValues[i]));
              EXPECT_EQ(values.values[i].count, std::get<1>(plainValues[i]));
              EXPECT_EQ(values.values[i].firstRow, std::get<2>(plainValues[i]));
            }

            // The rows with and without the most frequent value split the data rows.
            if (plainValues.empty()) continue;
            const std::u16string& value = std::get<0>(plainValues[0]);
            const RowSelection with = RowsWithValue(table, title, col, value, true);
            const RowSelection without = RowsWithValue(table, title, col, value, false);
            RowList expectedWith, expectedWithout;
            for (std::uint32_t r = title ? 1 : 0; r < plain.size(); ++r)
              (PlainCell(plain, r, col) == value ? expectedWith : expectedWithout).push_back(r);
            EXPECT_EQ(with.rows, expectedWith);
            EXPECT_EQ(without.rows, expectedWithout);
          }
          for (const bool caseSensitive : {true, false}) {
            const std::u16string text = u"a";
            RowList expected;
            for (std::uint32_t r = title ? 1 : 0; r < plain.size(); ++r) {
              for (const std::u16string& cell : plain[r]) {
                std::u16string folded = cell;
                if (!caseSensitive) CaseFold::Fold(cell, folded);
                if (folded.find(text) != std::u16string::npos) {
                  expected.push_back(r);
                  break;
                }
              }
            }
            EXPECT_EQ(RowsContaining(table, title, text, caseSensitive).rows, expected)
                << e.name << " seed " << seed;
          }
        }
      }
    }
  }
}

TEST_F(ViewsTest, BoundariesOfRowsAndNumbering) {
  const struct {
    const char* name;
    std::u16string text;
    bool title;
    CheckResult::Outcome outcome;
    RowList differing;
    std::size_t values;  // distinct values
  } cases[] = {
      {"EmptyTable", u"", false, CheckResult::Outcome::NoRows, {}, 0},
      {"TitleOnly", u"h\n", true, CheckResult::Outcome::NoRows, {}, 0},
      {"OneRow", u"a", false, CheckResult::Outcome::AllMatch, {}, 1},
      {"TitleAndOneRow", u"h\na", true, CheckResult::Outcome::AllMatch, {}, 1},
      {"EmptyCellsAreAValue", u"a\n\nb\n\n", false, CheckResult::Outcome::Differs, {1, 2}, 3},
      {"EmptyReference", u"\na\n\nb", false, CheckResult::Outcome::Differs, {1, 3}, 3},
      {"TitleNumbering", u"h\nv\nw\nv\nw", true, CheckResult::Outcome::Differs, {2, 4}, 2},
      {"QuotedEqualsUnquoted",
       u"a\n\"a\"\n\"a\r\nb\"\r\na",
       false,
       CheckResult::Outcome::Differs,
       {2},
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    if (!c.text.empty()) {
      ASSERT_TRUE(csv.LoadFromText(c.text));
    }
    const Differences found = FindDifferences(csv.Table(), c.title, 0);
    EXPECT_EQ(found.outcome, c.outcome);
    EXPECT_EQ(found.rows, c.differing);
    const ColumnValues values = CountColumnValues(csv.Table(), c.title, 0);
    EXPECT_EQ(values.hasRows, c.outcome != CheckResult::Outcome::NoRows);
    EXPECT_EQ(values.values.size(), c.values);
  }
}

TEST_F(ViewsTest, TheCodesOfOneCharacterAreOneValue) {
  // ≒ by its NEC and its JIS code, Ⅰ by its NEC and its IBM code, one of them quoted.
  const std::string bytes = Bytes({0x87, 0x90, '\n', 0x81, 0xE0, '\n', '"', 0x87, 0x90, '"', '\n',
                                   0x87, 0x54, '\n', 0xFA, 0x4A, '\n'});
  TCsv csv;
  Load(csv, bytes, 932);
  const ColumnValues values = CountColumnValues(csv.Table(), false, 0);
  ASSERT_EQ(values.values.size(), 2u);
  EXPECT_EQ(values.values[0].text, u"\u2252");
  EXPECT_EQ(values.values[0].count, 3u);
  EXPECT_EQ(values.values[1].text, u"\u2160");
  EXPECT_EQ(values.values[1].count, 2u);
  EXPECT_EQ(values.values[1].FirstRowNumber(), 4);
  EXPECT_EQ(FindDifferences(csv.Table(), false, 0).rows, (RowList{3, 4}));
  EXPECT_EQ(RowsWithValue(csv.Table(), false, 0, u"\u2160", true).rows, (RowList{3, 4}));
  // unique tells cells apart by their bytes first: the other code of a value is a repeat.
  const RuleParse unique = ParseColumnRule(u"A:unique");
  ASSERT_TRUE(unique.rule);
  const RuleCheckResult repeats = CheckRules(csv.Table(), false, {&*unique.rule, 1});
  ASSERT_EQ(repeats.findings.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(repeats.findings[i].row, (std::array<std::uint32_t, 3>{1, 2, 4}[i]));
    EXPECT_EQ(repeats.findings[i].detail, (std::array<std::uint32_t, 3>{0, 0, 3}[i]));
  }
}

TEST_F(ViewsTest, SavingEveryRowGivesTheFileBackByteForByte) {
  for (const GeneratedEncoding& e : GeneratedEncodings()) {
    SCOPED_TRACE(e.name);
    GeneratedFile file = GenerateCsv(e, 7, 50, true);
    // A last line that holds a cell, so no line after the last row is left out.
    file.bytes += EncodePiece(e, u"z,\"q\r\nr\"\r\nlast");
    TCsv csv;
    Load(csv, file.bytes, e.codePage);
    const CsvTable& table = csv.Table();
    RowList all;
    for (std::uint32_t r = 1; r < table.RowCount(); ++r)
      all.push_back(r);
    const RowsSaveResult saved = SaveRows(table, all, true, UPath("all.csv"));
    ASSERT_TRUE(saved.ok) << ToUtf8(saved.message);
    EXPECT_EQ(saved.rows, table.RowCount());
    const std::string back = ReadBytes(Path("all.csv"));
    EXPECT_EQ(saved.bytes, back.size());
    if (e.codePage == 50220) {
      EXPECT_EQ(RowsSaveFormOf(table), RowsSaveForm::Utf8WithMark);
      EXPECT_EQ(back,
                "\xEF\xBB\xBF" + ToUtf8(TStringUtility::ConvertByCodePage(file.bytes, 50220)));
    } else {
      EXPECT_EQ(RowsSaveFormOf(table), RowsSaveForm::FileBytes);
      EXPECT_EQ(back, file.bytes);
    }

    // Every other data row, without the title: read back, they are those rows.
    RowList some;
    for (std::uint32_t r = 1; r < table.RowCount(); r += 2)
      some.push_back(r);
    ASSERT_TRUE(SaveRows(table, some, false, UPath("some.csv")).ok);
    const std::uint16_t readAs = e.codePage == 50220 ? 65001 : e.codePage;
    const CsvRows expected = PlainRows(file.bytes, e.codePage);
    const CsvRows got = PlainRows(ReadBytes(Path("some.csv")), readAs);
    ASSERT_LE(got.size(), some.size());
    for (std::size_t i = 0; i < some.size(); ++i)
      for (std::size_t c = 0; c < table.ColCount(); ++c)
        ASSERT_EQ(PlainCell(got, i, c), PlainCell(expected, some[i], c)) << i << "," << c;
  }
}

TEST_F(ViewsTest, ALastLineWithoutEndGetsTheFilesLineEndWhenRowsFollowIt) {
  const struct {
    const char* name;
    std::string bytes;
    std::uint16_t codePage;
    std::string saved;
  } cases[] = {
      {"CrLf", "a\r\nb\r\nc", 932, "c\r\na\r\n"},
      {"Lf", "a\nb\nc", 65001, "c\na\n"},
      {"Utf16LE",
       std::string("\xFF\xFE"
                   "a\0\n\0c\0",
                   8),
       1200,
       std::string("\xFF\xFE"
                   "c\0\n\0a\0\n\0",
                   10)},
      {"Iso2022Jp", "a\r\nb\r\nc", 50220,
       "\xEF\xBB\xBF"
       "c\r\na\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    Load(csv, c.bytes, c.codePage);
    const RowList rows = {csv.GetRowCount() - 1, 0};
    ASSERT_TRUE(SaveRows(csv.Table(), rows, false, UPath("out.csv")).ok);
    EXPECT_EQ(ReadBytes(Path("out.csv")), c.saved);
  }
}

TEST_F(ViewsTest, SaveRefusesTheOpenFileUnderAnyNameAndFailsWithoutLeavingFiles) {
  const std::string original = "h\na\nb\n";
  TCsv csv;
  Load(csv, original, 932, "open.csv");
  const std::string open = Path("open.csv");
  ASSERT_EQ(::link(open.c_str(), Path("hard.csv").c_str()), 0);
  std::filesystem::create_symlink(open, Path("soft.csv"));
  const RowList rows = {1};
  for (const char* name : {"open.csv", "hard.csv", "soft.csv", "./open.csv"}) {
    SCOPED_TRACE(name);
    const RowsSaveResult result = SaveRows(csv.Table(), rows, true, UPath(name));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, SaveOverOpenFileText);
    EXPECT_EQ(ReadBytes(open), original);
  }
  const RowsSaveResult missing = SaveRows(csv.Table(), rows, true, UPath("no/such/out.csv"));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.message.find(u"を作成できません"), std::u16string::npos);

  // A copy of the same bytes is another file: it is replaced, through its link too.
  Write("copy.csv", original);
  std::filesystem::create_symlink(Path("copy.csv"), Path("copy-link.csv"));
  ASSERT_TRUE(SaveRows(csv.Table(), rows, true, UPath("copy-link.csv")).ok);
  EXPECT_EQ(ReadBytes(Path("copy.csv")), "h\na\n");
  EXPECT_TRUE(std::filesystem::is_symlink(Path("copy-link.csv")));
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().rfind(".norvalis-save-", 0), std::string::npos);
}

}  // namespace
}  // namespace norvalis::test
