// The character check: each kind at its edges, each pair of forms, and the Shift_JIS byte scan
// against the decoded route on random rows.

#include "check/CharacterCheck.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "text/MECSUtils.h"

namespace norvalis {
namespace {

using Kind = CharacterKind;

// The findings as "row col kind chars" lines, for comparing whole results.
std::vector<std::string> Lines(const CsvTable& table, const CharacterCheckResult& result) {
  std::vector<std::string> lines;
  for (const CharacterFinding& f : result.findings) {
    const std::u32string chars = FindingChars(result, f.kind, table.Cell(f.row, f.col));
    lines.push_back(std::to_string(f.RowNumber()) + " " + std::to_string(f.col) + " " +
                    std::string(CharacterKindName(f.kind)) + " " + CodePointsText(chars));
  }
  return lines;
}

std::vector<std::string> CheckText(const std::u16string& text, unsigned kinds = AllCharacterKinds) {
  TCsv csv;
  EXPECT_TRUE(csv.LoadFromText(text));
  return Lines(csv.Table(), CheckCharacters(csv.Table(), false, kinds));
}

TEST(CharacterCheck, EachKindAtItsEdges) {
  struct Case {
    const char* what;
    std::u16string cell;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"plain", u"東京ｱ~", {}},
      {"replacement", u"a\uFFFDb\uFFFD", {"1 0 mojibake U+FFFD"}},
      {"machine-dependent, each once", u"①㈱①Ⅲ", {"1 0 machine-dependent U+2460 U+3231 U+2162"}},
      {"≒ has a standard code", u"≒", {}},
      {"user-defined area", u"\uE000", {"1 0 machine-dependent U+E000"}},
      {"not encodable is no machine character", u"𠮷😀", {}},
      {"the controls the table drops never reach a cell", u"a\u001F\u007F\u0080b", {}},
      {"C1 controls 81 and 9F", u"\"a\u0081\u009Fb\u0081\"", {"1 0 control U+0081 U+009F"}},
      {"A0 is no control", u"a\u00A0b", {}},
      {"tab inside is fine", u"\"a\tb\"", {}},
      {"line feed inside is fine", u"\"a\nb\"", {}},
      {"leading blank", u" a", {"1 0 spaces U+0020"}},
      {"trailing ideographic space", u"a\u3000", {"1 0 spaces U+3000"}},
      {"both ends, distinct", u"\"\t \u3000a  \t\"", {"1 0 spaces U+0009 U+0020 U+3000"}},
      {"blank inside only", u"a b", {}},
      {"only blanks", u"\"  \"", {"1 0 spaces U+0020"}},
      {"kinds in their order",
       u"\"\uFFFD①\u0085 \"",
       {"1 0 mojibake U+FFFD", "1 0 machine-dependent U+2460", "1 0 control U+0085",
        "1 0 spaces U+0020"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CheckText(c.cell + u"\n"), c.lines);
  }
}

TEST(CharacterCheck, TheRarerFormOfEachPairIsFlaggedInEveryCellThatHoldsIt) {
  const std::pair<char16_t, char16_t> pairs[] = {
      {0x301C, 0xFF5E}, {0x2016, 0x2225}, {0x2212, 0xFF0D}, {0x2014, 0x2015},
      {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1}, {0x00AC, 0xFFE2},
  };
  for (const auto& [first, second] : pairs) {
    SCOPED_TRACE(static_cast<unsigned>(first));
    const std::string firstCode = CodePointsText(std::u32string(1, first));
    const std::string secondCode = CodePointsText(std::u32string(1, second));
    // Two cells hold the first, one the second: the second is rarer.
    const std::u16string text =
        std::u16string(1, first) + u"," + first + first + u"\n" + second + u",x\n";
    EXPECT_EQ(CheckText(text, 1u << static_cast<unsigned>(Kind::MixedForms)),
              (std::vector<std::string>{"2 0 mixed-forms " + secondCode}));
    // A tie flags the first of the pair.
    EXPECT_EQ(CheckText(std::u16string(1, first) + u"\n" + second + u"\n",
                        1u << static_cast<unsigned>(Kind::MixedForms)),
              (std::vector<std::string>{"1 0 mixed-forms " + firstCode}));
    // One form alone is no mixture.
    EXPECT_TRUE(CheckText(std::u16string(1, second) + u"\n" + second + u"\n").empty());
  }
}

TEST(CharacterCheck, KindsTurnedOffAreNotLookedFor) {
  const std::u16string text = u"\" ①\"\n";
  EXPECT_EQ(CheckText(text, 1u << static_cast<unsigned>(Kind::Spaces)),
            (std::vector<std::string>{"1 0 spaces U+0020"}));
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(u"title\n①\n"));
  const CharacterCheckResult result = CheckCharacters(csv.Table(), true);
  EXPECT_EQ(result.counts[static_cast<std::size_t>(Kind::MachineDependent)], 1u);
  EXPECT_EQ(Lines(csv.Table(), result), (std::vector<std::string>{"2 0 machine-dependent U+2460"}));
  EXPECT_EQ(CheckCharacters(csv.Table(), false, AllCharacterKinds).findings.size(), 1u);
  EXPECT_EQ(CheckCharacters(CsvTable::Empty(), false).outcome,
            CharacterCheckResult::Outcome::NoRows);
}

// The byte scan of Shift_JIS rows must find exactly what decoding every cell finds.
class CharacterCheckBytes : public test::TempDirTest {};

TEST_F(CharacterCheckBytes, ScanOfShiftJisRowsAgreesWithTheDecodedCells) {
  // Pieces that matter to the scan: each lead family, broken pairs, blanks, quotes, controls.
  const std::string pieces[] = {
      "a",        "1",        ",",        "\"",           "\"\"",     " ",        "\t",
      "\r",       "\x01",     "\x7F",     "\x80",         "\xA0",     "\xFD",     "\xB1",
      "\xDF",     "\x81\x40", "\x81\x60", "\x81\x5C",     "\x81\x91", "\x88\x9F", "\x87\x40",
      "\x87\x90", "\xED\x40", "\xFA\x40", "\xFC\x4B",     "\xF0\x40", "\x81",     "\x81\x7F",
      "\x85\x40", "\xEB\x40", "\x81\x22", "\x88\x81\x40",
  };
  // The pieces a plain row is made of, for rows that the one-pass scan takes whole.
  const std::string plain[] = {
      "a",        "1",        " ",        "\xA0",     "\xB1",     "\x81\x40",     "\x81\x60",
      "\x88\x9F", "\x87\x40", "\xED\x40", "\xF0\x40", "\x85\x40", "\x88\x81\x40", "\xEB\x40",
      ","};
  std::mt19937 random(20);
  std::string bytes;
  for (int row = 0; row < 4000; ++row) {
    if (row % 2 == 0) {
      const int fields = 1 + static_cast<int>(random() % 4);
      for (int f = 0; f < fields; ++f) {
        const bool quoted = random() % 2 == 0;
        bytes += f != 0 ? "," : "";
        bytes += quoted ? "\"" : "";
        for (int k = static_cast<int>(random() % 5); k > 0; --k) {
          const std::string& piece = plain[random() % std::size(plain)];
          bytes += piece == "," && !quoted ? "a" : piece;
        }
        bytes += quoted ? "\"" : "";
      }
    } else {
      for (int k = static_cast<int>(random() % 12); k > 0; --k)
        bytes += pieces[random() % std::size(pieces)];
    }
    bytes += row % 3 == 0 ? "\r\n" : "\n";
  }
  TCsv file;
  ASSERT_TRUE(file.Load(FromUtf8(Write("sjis.csv", bytes)), 932).ok());
  ASSERT_EQ(file.Table().CodePage(), 932);
  TCsv decoded;
  ASSERT_TRUE(decoded.LoadFromText(
      MECSUtils::MecsMappingFix_CP932ToUnicode(MECSUtils::AnsiToUTF16(bytes, 932))));
  ASSERT_EQ(file.GetRowCount(), decoded.GetRowCount());
  const std::vector<std::string> fromBytes =
      Lines(file.Table(), CheckCharacters(file.Table(), false));
  EXPECT_EQ(fromBytes, Lines(decoded.Table(), CheckCharacters(decoded.Table(), false)));
  EXPECT_GT(fromBytes.size(), 1000u);
}

}  // namespace
}  // namespace norvalis
