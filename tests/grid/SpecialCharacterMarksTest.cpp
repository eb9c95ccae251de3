// The marks of blanks and control characters: which characters get one, their names, and that
// each is drawn where the character is, in the marks' colour, a space not where ・ would be.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "grid/SpecialCharacterMarks.h"

namespace norvalis {
namespace {

TEST(SpecialCharacterMarks, MarksBlanksAndControlsButNotOtherCharacters) {
  struct Case {
    std::u16string text;
    bool marked;
  };
  const Case cases[] = {
      {u"東京", false},
      {u"東京 ", true},
      {u"\u3000東京", true},
      {u"a\tb", true},
      {u"a\nb", true},
      {u"\x01", true},
      {u"\x1F", true},
      {u"\x7F", true},
      {u"\x9F", true},
      {u"\xA0", false},
      {u"\uFFFD", false},
      {u"・･", false},
      {std::u16string(1, u'\0'), true},
      {u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text.begin(), c.text.end())));
    EXPECT_EQ(SpecialCharacterMarks::Has(c.text), c.marked);
  }
}

TEST(SpecialCharacterMarks, ControlsAreNamedAtTheEndsOfTheirRanges) {
  const std::pair<char16_t, const char*> names[] = {
      {0x00, "NUL"}, {0x09, "HT"}, {0x1B, "ESC"}, {0x1F, "US"},
      {0x7F, "DEL"}, {0x80, "80"}, {0x85, "85"},  {0x9F, "9F"},
  };
  for (const auto& [c, name] : names) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_STREQ(SpecialCharacterMarks::ControlName(c), name);
  }
}

// Where the marks' colour was drawn: the box around it, empty when none.
QRect MarkInk(const std::u16string& text, int& textWidth, int& baseline) {
  QImage image(300, 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QColor mark(0, 128, 170);
  QPainter painter(&image);
  painter.setPen(Qt::black);
  const QFontMetrics metrics = painter.fontMetrics();
  textWidth = metrics.horizontalAdvance(QStringLiteral("東京"));
  baseline = metrics.ascent();
  SpecialCharacterMarks::Draw(painter, QRect(0, 0, 300, 40), text, mark);
  painter.end();
  QRect ink;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == mark) ink |= QRect(x, y, 1, 1);
    }
  }
  return ink;
}

TEST(SpecialCharacterMarks, EachMarkIsDrawnAfterTheTextItFollows) {
  int width = 0;
  int baseline = 0;
  EXPECT_TRUE(MarkInk(u"東京", width, baseline).isEmpty());
  for (const char16_t* text : {u"東京 ", u"東京\u3000", u"東京\t", u"東京\x01", u"東京\n"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(text).size()));
    const QRect ink = MarkInk(text, width, baseline);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), width - 1);
  }
  // A half-width space sits on the baseline: a dot at mid-height reads as ・ in a name.
  const QRect space = MarkInk(u"東京 ", width, baseline);
  EXPECT_GE(space.top(), baseline - baseline / 3);
  EXPECT_LE(space.bottom(), baseline + 1);
}

}  // namespace
}  // namespace norvalis
