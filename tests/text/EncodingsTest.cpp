#include "text/Encodings.h"

#include <gtest/gtest.h>

namespace norvalis {
namespace {

TEST(Encodings, DisplayNameIsWhatTheCellsWereDecodedWith) {
  const struct {
    std::uint16_t codePage;
    std::string_view leading;
    std::u16string name;
  } cases[] = {
      {932, "", u"Shift_JIS"},
      // Nothing recognised is decoded with the ANSI code page.
      {65535, "abc", u"Shift_JIS"},
      {65001, "abc", u"UTF-8"},
      {65001,
       "\xEF\xBB\xBF"
       "a",
       u"UTF-8 (BOM)"},
      {1200, "\xFF\xFE", u"UTF-16 LE"},
      {12001, "", u"UTF-32 BE"},
      {50220, "", u"ISO-2022-JP"},
      {65000, "", u"UTF-7"},
      {437, "", u"コードページ 437"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    EXPECT_EQ(Encodings::DisplayName(c.codePage, c.leading), c.name);
  }
}

TEST(Encodings, OnlyTheOfferedCodePagesAreChoices) {
  EXPECT_EQ(Encodings::Choices().size(), 9u);
  for (const Encodings::Choice& c : Encodings::Choices())
    EXPECT_TRUE(Encodings::IsChoice(c.codePage)) << c.codePage;
  for (const std::uint16_t other : {0, 65535, 437, 51932})
    EXPECT_FALSE(Encodings::IsChoice(other)) << other;
}

}  // namespace
}  // namespace norvalis
