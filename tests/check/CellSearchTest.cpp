#include "check/CellSearch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "check/CaseFold.h"

#ifdef NORVALIS_TEST_WITH_QT
#include <QChar>
#include <QStringView>
#endif

namespace norvalis {
namespace {

using Outcome = CellSearchResult::Outcome;

#ifdef NORVALIS_TEST_WITH_QT
// The find of the window folded case with Qt; the core's folding must agree on every code point.
TEST(CaseFold, AgreesWithQtOnEveryCodePoint) {
  int differing = 0;
  for (char32_t c = 0; c < 0x110000; ++c) {
    if (CaseFold::FoldCodePoint(c) != QChar::toCaseFolded(c) && ++differing <= 5) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
    }
  }
  EXPECT_EQ(differing, 0);
}

// Random texts over letters of several scripts and planes (and lone surrogates in the cell):
// contains-ignoring-case as the search decides it, against Qt's.
TEST(CaseFold, ContainsAgreesWithQtOnRandomTexts) {
  const std::u16string pieces[] = {
      u"a",          u"A",          u"ß", u"ẞ", u"Σ", u"ς", u"σ",    u"ａ", u"Ａ",     u"あ",
      u"\U00010400", u"\U00010428", u"İ", u"i", u"K", u"k", u"\xB5", u"μ",  u"\xD800", u"\xDC00"};
  std::mt19937 random(7);
  auto text = [&](int most, bool loneSurrogates) {
    std::u16string t;
    const int n = static_cast<int>(random() % static_cast<unsigned>(most + 1));
    for (int i = 0; i < n; ++i) {
      const std::u16string& p = pieces[random() % (std::size(pieces) - (loneSurrogates ? 0 : 2))];
      t += p;
    }
    return t;
  };
  std::u16string foldedNeedle;
  std::u16string foldedCell;
  for (int round = 0; round < 20000; ++round) {
    const std::u16string cell = text(8, true);
    const std::u16string needle = text(3, false);
    if (needle.empty()) continue;
    CaseFold::Fold(needle, foldedNeedle);
    CaseFold::Fold(cell, foldedCell);
    const bool ours = foldedCell.find(foldedNeedle) != std::u16string::npos;
    const bool qt = QStringView(cell).contains(QStringView(needle), Qt::CaseInsensitive);
    ASSERT_EQ(ours, qt) << "round " << round;
  }
}
#endif

struct SearchCase {
  const char* name;
  std::u16string csv;
  CellSearchRequest request;
  Outcome outcome;
  std::uint32_t row;
  std::uint32_t col;
};

TEST(CellSearch, FindsAlongTheRowsWrappingOnceWithOrWithoutCase) {
  const auto request = [](std::u16string text, bool caseSensitive, bool forward,
                          std::uint32_t firstRow, std::uint32_t row, std::uint32_t col) {
    CellSearchRequest r;
    r.text = std::move(text);
    r.caseSensitive = caseSensitive;
    r.forward = forward;
    r.firstRow = firstRow;
    r.row = row;
    r.col = col;
    return r;
  };
  const std::vector<SearchCase> cases = {
      {"FullWidthLettersIgnoreCase", u"x,ＡＢＣ", request(u"ｂ", false, true, 0, 0, 0),
       Outcome::Found, 0, 1},
      {"FullWidthLettersWithCase", u"x,ＡＢＣ", request(u"ｂ", true, true, 0, 0, 0),
       Outcome::NotFound, 0, 0},
      {"SupplementaryLetters", u"\U00010400x", request(u"\U00010428", false, true, 0, 0, 0),
       Outcome::Found, 0, 0},
      {"KanaHasNoCase", u"ア,あ", request(u"あ", false, true, 0, 0, 0), Outcome::Found, 0, 1},
      // The current cell itself comes last, after the whole table.
      {"CurrentCellLast", u"ab", request(u"a", false, true, 0, 0, 0), Outcome::Found, 0, 0},
      {"BackwardsFromTheFirstCellWraps", u"a,b\nc,a", request(u"a", false, false, 0, 0, 0),
       Outcome::Found, 1, 1},
      {"CurrentRowBeyondTheTableIsTheLast", u"a\nb\nc", request(u"a", false, true, 0, 99, 0),
       Outcome::Found, 0, 0},
      {"TitleRowNotSearched", u"a\nb", request(u"a", false, true, 1, 1, 0), Outcome::NotFound, 0,
       0},
      {"NothingBelowTheTitle", u"a", request(u"a", false, true, 1, 0, 0), Outcome::NotFound, 0, 0},
      {"EmptyTextFindsNothing", u"a", request(u"", false, true, 0, 0, 0), Outcome::NotFound, 0, 0},
      {"NeedleLongerThanEveryCell", u"ab,c", request(u"abc", false, true, 0, 0, 0),
       Outcome::NotFound, 0, 0},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(c.csv));
    const CellSearchResult result = SearchCells(csv.Table(), c.request);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == Outcome::Found) {
      EXPECT_EQ(result.row, c.row);
      EXPECT_EQ(result.col, c.col);
    }
  }
}

TEST(CellSearch, StopsSoonAfterTheCancelFlag) {
  std::u16string text;
  for (int i = 0; i < 100000; ++i)
    text += u"row\n";
  TCsv csv;
  ASSERT_TRUE(csv.LoadFromText(text));
  std::atomic<bool> cancel{true};
  CellSearchRequest request;
  request.text = u"absent";
  EXPECT_EQ(SearchCells(csv.Table(), request, nullptr, &cancel).outcome, Outcome::Cancelled);
  cancel = false;
  EXPECT_EQ(SearchCells(csv.Table(), request, nullptr, &cancel).outcome, Outcome::NotFound);
}

}  // namespace
}  // namespace norvalis
