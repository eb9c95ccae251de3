// norvalis-check --differences, --values and --filter against the plain decoded route.
#include <unistd.h>

#include <algorithm>

#include "../support/GeneratedCsv.h"
#include "CliTestSupport.h"
#include "csv/CsvUtility.h"

namespace norvalis::test {
namespace {

// JSON strings as the program writes them: ASCII, everything else \uXXXX.
std::string JsonString(std::u16string_view text) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char16_t u : text) {
    if (u >= 0x20 && u <= 0x7E && u != u'"' && u != u'\\') {
      out += static_cast<char>(u);
    } else {
      out +=
          {'\\', 'u', Hex[(u >> 12) & 0xF], Hex[(u >> 8) & 0xF], Hex[(u >> 4) & 0xF], Hex[u & 0xF]};
    }
  }
  return out + "\"";
}

using NorvalisCheckViews = CliTest;

TEST_F(NorvalisCheckViews, DifferencesAndValuesMatchThePlainRouteInEveryEncoding) {
  for (const GeneratedEncoding& e : GeneratedEncodings()) {
    const GeneratedFile file = GenerateCsv(e, 11, 80, false);
    const std::string path = Write("gen.csv", file.bytes);
    const CsvRows plain = PlainRows(file.bytes, e.codePage);
    for (const bool title : {false, true}) {
      for (const std::uint32_t col : {0u, 2u}) {
        SCOPED_TRACE(std::string(e.name) + (title ? " title" : "") + " col " + std::to_string(col));
        const std::string letter = ToUtf8(TCsvUtility::ColumnIndexToLetters(col));
        std::vector<std::string> args = {path,
                                         "--column",
                                         letter,
                                         "--format",
                                         "json",
                                         "--code-page",
                                         std::to_string(e.codePage)};
        if (title) args.push_back("--title");

        const auto differing = PlainDifferences(plain, title, col);
        std::string expected = "{\"column\":\"" + letter +
                               "\",\"reference\":" + JsonString(PlainCell(plain, title, col)) +
                               ",\"rows\":[";
        for (std::size_t i = 0; i < differing.size(); ++i) {
          if (i != 0) expected += ',';
          expected += "{\"row\":" + std::to_string(differing[i].first + 1) +
                      ",\"value\":" + JsonString(differing[i].second) + "}";
        }
        expected += "],\"count\":" + std::to_string(differing.size()) + "}\n";
        args.insert(args.begin(), "--differences");
        const CliRun differences = Check(args);
        EXPECT_EQ(differences.out, expected);
        EXPECT_EQ(differences.exitCode, differing.empty() ? 0 : 1) << differences.err;

        expected = "[";
        for (const auto& [text, count, first] : PlainValues(plain, title, col)) {
          if (expected.size() > 1) expected += ',';
          expected += "{\"value\":" + JsonString(text) + ",\"count\":" + std::to_string(count) +
                      ",\"first\":" + std::to_string(first + 1) + "}";
        }
        expected += "]\n";
        args[0] = "--values";
        const CliRun values = Check(args);
        EXPECT_EQ(values.out, expected);
        EXPECT_EQ(values.exitCode, 0) << values.err;
      }
    }
  }
}

TEST_F(NorvalisCheckViews, TextOutputsExitCodesAndUsage) {
  const std::string table = Write("t.csv", "h,v\r\na,x\r\nb,\"x\"\r\n\"c\td\",y\r\ne,\r\n");
  const std::string empty = Write("empty.csv", "");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  } cases[] = {
      {{table, "--differences", "--title"}, 1, "3\tb\n4\t\"c\td\"\n5\te\n"},
      {{table, "--differences", "--title", "--column", "B"}, 1, "4\ty\n5\t\n"},
      {{table, "--differences", "--column", "B"}, 1, "2\tx\n3\tx\n4\ty\n5\t\n"},
      {{table, "--values", "--title", "--column", "2"}, 0, "2\t2\tx\n1\t4\ty\n1\t5\t\n"},
      {{empty, "--differences"}, 2, ""},
      {{empty, "--values"}, 2, ""},
      {{empty, "--differences", "--format", "json"},
       2,
       "{\"column\":\"A\",\"reference\":null,\"rows\":[],\"count\":0}\n"},
      {{Path("missing.csv"), "--values"}, 3, ""},
      {{table, "--filter", "B=x"}, 64, ""},
      {{table, "--filter", "B", "--save", Path("o.csv")}, 64, ""},
      {{table, "--filter", "1x=a", "--save", Path("o.csv")}, 64, ""},
      {{table, "--differences", "--values"}, 64, ""},
      {{table, "--values", "--save", Path("o.csv")}, 64, ""},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& arg : c.args)
      line += arg + " ";
    SCOPED_TRACE(line);
    const CliRun run = Check(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.out, c.out);
    if (c.exitCode == 2) {
      EXPECT_NE(run.err.find("検証する行がありません。"), std::string::npos);
    }
  }
}

// The listing compares and writes the rows a range at a time (32768 rows, several ranges a
// round): differing rows at each range's first and last row, across rounds, against the plain
// route; an empty reference, a file of the reference row alone, and one where all match.
TEST_F(NorvalisCheckViews, DifferencesListEveryRowAcrossTheListingsRanges) {
  constexpr std::uint32_t Range = 1 << 15;
  constexpr std::uint32_t Rows = 40 * Range + 5;
  const struct {
    const char* name;
    bool title;
    std::string reference;
    std::uint32_t rows;
    bool boundaries;
    bool alike = false;  // rows in turn hold values that differ only past their first 8 bytes
  } cases[] = {
      {"boundaries", false, "b", Rows, true},     {"boundaries title", true, "b", Rows, true},
      {"empty reference", false, "", Rows, true}, {"reference alone", false, "b", 1, false},
      {"all match", true, "b", 3 * Range, false}, {"alike", false, "b", 2 * Range, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint32_t first = c.title ? 2 : 1;
    std::vector<std::string> cells(c.rows, "b");
    static const char* const alike[] = {"ABCDEFGH1",         "ABCDEFGH2",
                                        "ABCDEFGHIJKLMNO1",  "ABCDEFGHIJKLMNO2",
                                        "ABCDEFGHIJKLMNOP1", "ABCDEFGHIJKLMNOP2"};
    for (std::uint32_t r = 0; c.alike && r < c.rows; ++r)
      cells[r] = alike[2 * (r / 64 % 3) + r % 2];
    cells[first - 1] = c.reference;
    if (c.boundaries) {
      for (std::uint32_t at = first; at < c.rows; at += Range) {
        cells[at] = "c";
        cells[std::min(c.rows, at + Range) - 1] = (at / Range) % 2 ? "" : "c\td";
      }
    }
    std::string bytes;
    std::string expected;
    for (std::uint32_t r = 0; r < c.rows; ++r) {
      const bool quoted = cells[r].find('\t') != std::string::npos;
      const std::string field = quoted ? '"' + cells[r] + '"' : cells[r];
      bytes += "x," + field + "\n";
      if (r >= first && cells[r] != c.reference)
        expected += std::to_string(r + 1) + '\t' + field + '\n';
    }
    std::vector<std::string> args = {Write("ranges.csv", bytes), "--differences", "--column", "B"};
    if (c.title) args.push_back("--title");
    const CliRun run = Check(args);
    // Where the output first departs, not both texts of megabytes.
    ASSERT_EQ(run.out.size(), expected.size());
    EXPECT_EQ(
        std::mismatch(run.out.begin(), run.out.end(), expected.begin()).first - run.out.begin(),
        static_cast<std::ptrdiff_t>(expected.size()));
    EXPECT_EQ(run.exitCode, expected.empty() ? 0 : 1) << run.err;
  }
}

TEST_F(NorvalisCheckViews, FilterSavesTheFilesOwnLinesAndNeverTheFileItself) {
  // Shift_JIS, mixed line ends, a quoted field with a line break, the NEC code of ≒ in one row.
  const std::string bytes = Bytes({'h',  ',',  'v',  '\r', '\n', '1',  ',',  0x81, 0xE0, '\n', '2',
                                   ',',  '"',  0x87, 0x90, '"',  '\r', '\n', '3',  ',',  '"',  'a',
                                   '\r', '\n', 'b',  '"',  '\n', '4',  ',',  0x81, 0xE0});
  const std::string path = Write("sjis.csv", bytes);
  const struct {
    std::string filter;
    bool title;
    std::string saved;
  } cases[] = {
      {"B=\u2252", true, Bytes({'h', ',', 'v',  '\r', '\n', '1',  ',',  0x81, 0xE0, '\n', '2',
                                ',', '"', 0x87, 0x90, '"',  '\r', '\n', '4',  ',',  0x81, 0xE0})},
      {"B!=\u2252", false, "h,v\r\n3,\"a\r\nb\"\n"},
      {"2=none", true, "h,v\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    std::vector<std::string> args = {path,          "--filter", c.filter, "--save", Path("out.csv"),
                                     "--code-page", "932"};
    if (c.title) args.push_back("--title");
    const CliRun run = Check(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(Path("out.csv")), c.saved);
  }
  ASSERT_EQ(::link(path.c_str(), Path("hard.csv").c_str()), 0);
  for (const std::string& target : {path, Path("hard.csv")}) {
    const CliRun run = Check({path, "--filter", "A=1", "--save", target});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("開いているCSVファイルには保存できません。"), std::string::npos);
    EXPECT_EQ(ReadFile(path), bytes);
  }
}

}  // namespace
}  // namespace norvalis::test
