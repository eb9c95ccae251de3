#include "csv/CsvUtility.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "csv/TsvText.h"

namespace norvalis {
namespace {

using TCsvUtility::ColumnIndexToLetters;
using TCsvUtility::LettersToColumnIndex;
using TCsvUtility::MakeColumnLabels;

struct LetterCase {
  std::int32_t index;
  const char16_t* letters;
};

constexpr LetterCase LetterCases[] = {
    {0, u"A"},     {1, u"B"},     {25, u"Z"},    {26, u"AA"},     {27, u"AB"},
    {51, u"AZ"},   {52, u"BA"},   {675, u"YZ"},  {676, u"ZA"},    {701, u"ZZ"},
    {702, u"AAA"}, {703, u"AAB"}, {728, u"ABA"}, {16383, u"XFD"},
};

TEST(ColumnLetters, IndexAndLettersMapBothWays) {
  for (const LetterCase& c : LetterCases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(ColumnIndexToLetters(c.index), UnicodeString(c.letters));
    EXPECT_EQ(LettersToColumnIndex(c.letters), c.index);
  }
}

TEST(ColumnLetters, IndexOutsideTheSheetGivesEmptyText) {
  for (const std::int32_t index : {16384, 16385, -1, -26, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ColumnIndexToLetters(index), UnicodeString());
  }
}

TEST(ColumnLetters, EveryIndexRoundTrips) {
  for (std::int32_t index = 0; index < TCsvUtility::MaxColumnLabels; ++index) {
    const UnicodeString letters = ColumnIndexToLetters(index);
    ASSERT_FALSE(letters.empty()) << index;
    ASSERT_EQ(LettersToColumnIndex(letters), index) << index;
  }
}

TEST(ColumnLetters, LettersAreReadInAnyCase) {
  struct Case {
    const char16_t* letters;
    std::int32_t index;
  };
  const Case cases[] = {{u"a", 0},   {u"z", 25},      {u"aA", 26},
                        {u"Ab", 27}, {u"xfd", 16383}, {u"xFd", 16383}};
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.letters));
    EXPECT_EQ(LettersToColumnIndex(c.letters), c.index);
  }
}

TEST(ColumnLetters, TextsThatNameNoColumnGiveMinusOne) {
  const char16_t* const texts[] = {u"",    u"1",   u"A1", u"1A", u"AAAA", u"XFE",
                                   u"XGA", u"ZZZ", u"@",  u"[",  u"`",    u"{",
                                   u" A",  u"A ",  u"Ａ", u"-A", u"Ä",    u"AB\n"};
  for (const char16_t* text : texts) {
    SCOPED_TRACE(ToUtf8(text));
    EXPECT_EQ(LettersToColumnIndex(text), -1);
  }
}

TEST(ColumnLabels, CountIsClampedToTheSheet) {
  struct Case {
    std::int32_t count;
    std::size_t size;
  };
  const Case cases[] = {{0, 0},         {-1, 0},        {INT32_MIN, 0}, {1, 1},
                        {16384, 16384}, {16385, 16384}, {20000, 16384}, {INT32_MAX, 16384}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    const std::vector<UnicodeString> labels = MakeColumnLabels(c.count, u"", u"");
    ASSERT_EQ(labels.size(), c.size);
    for (std::size_t i = 0; i < labels.size(); ++i)
      ASSERT_EQ(labels[i], ColumnIndexToLetters(static_cast<std::int32_t>(i))) << i;
  }
}

TEST(ColumnLabels, PrefixAndSuffixSurroundTheLetters) {
  EXPECT_EQ(MakeColumnLabels(3, u"", u""), (std::vector<UnicodeString>{u"A", u"B", u"C"}));
  EXPECT_EQ(MakeColumnLabels(3, u"(", u")"), (std::vector<UnicodeString>{u"(A)", u"(B)", u"(C)"}));
  EXPECT_EQ(MakeColumnLabels(2, u"列", u""), (std::vector<UnicodeString>{u"列A", u"列B"}));
}

TEST(TsvText, QuotesOnlyCellsThatASpreadsheetWouldSplit) {
  const struct {
    std::u16string cell;
    std::u16string field;
  } cases[] = {
      {u"", u""},
      {u"plain 値", u"plain 値"},
      {u"a\tb", u"\"a\tb\""},
      {u"two\nlines", u"\"two\nlines\""},
      {u"cr\r", u"\"cr\r\""},
      {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
      {u"comma,is,fine", u"comma,is,fine"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.cell));
    UnicodeString out;
    AppendTsvField(c.cell, out);
    EXPECT_EQ(out, c.field);
  }
  const std::vector<UnicodeString> row = {u"a", u"", u"b\tc"};
  EXPECT_EQ(TsvLine(row), u"a\t\t\"b\tc\"");
}

}  // namespace
}  // namespace norvalis
