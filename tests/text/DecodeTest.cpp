#include <gtest/gtest.h>

#include <string>

#include "TextTestSupport.h"
#include "text/Exception.h"
#include "text/MECSUtils.h"
#include "text/StringUtility.h"

namespace norvalis {
namespace {

using MECSUtils::AnsiToUTF16;
using test::Bytes;
using test::Hex;

struct DecodeCase {
  const char* name;
  std::string bytes;
  UnicodeString expected;
};

void expectDecodes(const DecodeCase* begin, const DecodeCase* end, std::uint16_t codePage) {
  for (const DecodeCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(c->name);
    const UnicodeString text = AnsiToUTF16(c->bytes, codePage);
    EXPECT_EQ(text, c->expected) << Hex(text) << " expected " << Hex(c->expected);
  }
}

TEST(AnsiToUTF16, Cp932DecodesAsWindowsDoes) {
  const DecodeCase cases[] = {
      {"ASCII keeps backslash and tilde", "a\\~,1\r\n", u"a\\~,1\r\n"},
      {"zero byte kept", Bytes({0x41, 0x00, 0x42}), UnicodeString(u"A\0B", 3)},
      {"hiragana", Bytes({0x82, 0xA0, 0x82, 0xA2}), u"あい"},
      {"half-width katakana", Bytes({0xB1, 0xDF, 0xA1}), u"ｱﾟ｡"},
      {"kanji", Bytes({0x96, 0x6B, 0x8A, 0x43, 0x93, 0xB9}), u"北海道"},
      {"NEC row 13", Bytes({0x87, 0x40, 0x87, 0x54, 0x87, 0x8A}), u"①Ⅰ㈱"},
      {"IBM extension", Bytes({0xFA, 0x40}), u"ⅰ"},
      {"NEC-selected IBM extension", Bytes({0xED, 0x40}), u"纊"},
      {"user-defined area", Bytes({0xF0, 0x40, 0xF9, 0xFC}), u"\uE000\uE757"},
      {"CP932 dash and wave", Bytes({0x81, 0x5C, 0x81, 0x60, 0x81, 0x7C}), u"\u2015\uFF5E\uFF0D"},
      {"Windows single bytes", Bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF}),
       u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
      {"unmapped pair is one replacement", Bytes({0x85, 0x40, 0x41}), u"\uFFFDA"},
      {"lead before a non-trail byte", Bytes({0x82, 0x20, 0x41}), u"\uFFFD A"},
      {"lead before 7F", Bytes({0x82, 0x7F}), u"\uFFFD\u007F"},
      {"lead before a lead pairs with it", Bytes({0x82, 0x82, 0xA0}), u"ｂ\uF8F0"},
      {"lead last", Bytes({0x41, 0x82}), u"A\uFFFD"},
  };
  expectDecodes(std::begin(cases), std::end(cases), 932);
}

TEST(AnsiToUTF16, EucJpDecodesWithTheMicrosoftVariant) {
  const DecodeCase cases[] = {
      {"ASCII", "a\\~", u"a\\~"},
      {"hiragana", Bytes({0xA4, 0xA2}), u"あ"},
      {"half-width katakana", Bytes({0x8E, 0xB1, 0x8E, 0xDF}), u"ｱﾟ"},
      {"JIS X 0212", Bytes({0x8F, 0xA2, 0xF1}), u"№"},
      {"NEC row 13", Bytes({0xAD, 0xA1}), u"①"},
      {"wave dash and minus", Bytes({0xA1, 0xC1, 0xA1, 0xDD}), u"\uFF5E\uFF0D"},
      {"C1 control bytes", Bytes({0x80, 0x8D, 0x90}), u"\u0080\u008D\u0090"},
      {"unmapped pair is one replacement", Bytes({0xA9, 0xA1, 0x41}), u"\uFFFDA"},
      {"lead before a non-trail byte", Bytes({0xA4, 0x41}), u"\uFFFDA"},
      {"SS2 out of range", Bytes({0x8E, 0x41}), u"\uFFFDA"},
      {"SS2 unmapped", Bytes({0x8E, 0xE0}), u"\uFFFD"},
      {"SS3 bad third byte", Bytes({0x8F, 0xA2, 0x41}), u"\uFFFDA"},
      {"SS3 bad second byte", Bytes({0x8F, 0x41}), u"\uFFFDA"},
      {"lead last", Bytes({0x41, 0xA4}), u"A\uFFFD"},
      {"SS3 cut after two", Bytes({0x8F, 0xA2}), u"\uFFFD"},
      {"A0 and FF", Bytes({0xA0, 0xFF}), u"\uFFFD\uFFFD"},
  };
  expectDecodes(std::begin(cases), std::end(cases), 20932);
  EXPECT_EQ(AnsiToUTF16(Bytes({0xA4, 0xA2}), 51932), u"あ");
}

TEST(AnsiToUTF16, Iso2022JpHandlesItsEscapeSequences) {
  const DecodeCase cases[] = {
      {"JIS X 0208", "\x1B$B$\"\x1B(B", u"あ"},
      {"old JIS announcer", "\x1B$@$\"\x1B(B", u"あ"},
      {"1990 announcer", "\x1B&@\x1B$B$\"\x1B(B", u"あ"},
      {"half-width katakana", "\x1B(I1_!\x1B(Bx", u"ｱﾟ｡x"},
      {"JIS Roman reads as ASCII", "\x1B(J\\~\x1B(B", u"\\~"},
      {"NEC row 13 circled digit", "\x1B$B-!-5\x1B(B", u"①Ⅰ"},
      {"JIS X 0212", "\x1B$(D\"q\x1B(B", u"№"},
      {"wave dash", "\x1B$B!A\x1B(B", u"\uFF5E"},
      {"CRLF inside double-byte mode", "\x1B$B$\"\r\n$$\x1B(B", u"あ\r\nい"},
      {"mode lasts to the end", "\x1B$B$\"", u"あ"},
      {"cut-off pair", "\x1B$B$", u"\uFFFD"},
      {"pair cut by an escape", "\x1B$B$\x1B(Ba", u"\uFFFDa"},
      {"unknown escape", "\x1B(Za", u"\uFFFD(Za"},
      {"lone escape at the end", "a\x1B", u"a\uFFFD"},
      {"eight-bit byte", Bytes({0x61, 0xB1, 0x62}), u"a\uFFFDb"},
      {"katakana mode above 5F", "\x1B(I`", u"\uFFFD"},
      {"unmapped pair", "\x1B$B)!\x1B(B", u"\uFFFD"},
  };
  expectDecodes(std::begin(cases), std::end(cases), 50220);
}

TEST(AnsiToUTF16, Iso2022JpModeCarriesAcrossLongInput) {
  std::string bytes = "\x1B$B";
  UnicodeString expected;
  for (int i = 0; i < 9000; ++i) {
    bytes += "$\"";
    expected += u"あ";
  }
  EXPECT_EQ(AnsiToUTF16(bytes, 50220), expected);
}

TEST(AnsiToUTF16, Utf8ReplacesEachIllFormedSubpart) {
  const DecodeCase cases[] = {
      {"ASCII", "abc", u"abc"},
      {"hiragana", Bytes({0xE3, 0x81, 0x82}), u"あ"},
      {"two bytes", Bytes({0xC2, 0xA2}), u"\u00A2"},
      {"four bytes", Bytes({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},
      {"mark is decoded as a character", Bytes({0xEF, 0xBB, 0xBF, 0x41}), u"\uFEFFA"},
      {"overlong two bytes", Bytes({0xC0, 0x80}), u"\uFFFD\uFFFD"},
      {"overlong three bytes", Bytes({0xE0, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD"},
      {"surrogate", Bytes({0xED, 0xA0, 0x80}), u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", Bytes({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"cut at the end", Bytes({0x41, 0xE3, 0x81}), u"A\uFFFD"},
      {"cut by ASCII", Bytes({0xE3, 0x81, 0x41}), u"\uFFFDA"},
      {"lone continuation", Bytes({0x80, 0x41}), u"\uFFFDA"},
      {"F8 and FF", Bytes({0xF8, 0xFF}), u"\uFFFD\uFFFD"},
      {"zero byte kept", Bytes({0x41, 0x00, 0x42}), UnicodeString(u"A\0B", 3)},
  };
  expectDecodes(std::begin(cases), std::end(cases), 65001);
  // Arguments, paths and settings are read by the same rule as files.
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const UnicodeString text = FromUtf8(c.bytes);
    EXPECT_EQ(text, c.expected) << Hex(text) << " expected " << Hex(c.expected);
  }
}

TEST(AnsiToUTF16, Utf32InBothByteOrders) {
  const DecodeCase little[] = {
      {"ASCII", Bytes({0x41, 0, 0, 0, 0x42, 0, 0, 0}), u"AB"},
      {"hiragana", Bytes({0x42, 0x30, 0, 0}), u"あ"},
      {"supplementary", Bytes({0x00, 0xF6, 0x01, 0x00}), u"\U0001F600"},
      {"mark is decoded as a character", Bytes({0xFF, 0xFE, 0, 0}), u"\uFEFF"},
      {"surrogate value", Bytes({0x00, 0xD8, 0, 0}), u"\uFFFD"},
      {"above U+10FFFF", Bytes({0x00, 0x00, 0x11, 0x00}), u"\uFFFD"},
      {"cut-off unit", Bytes({0x41, 0, 0, 0, 0x42, 0}), u"A\uFFFD"},
  };
  expectDecodes(std::begin(little), std::end(little), 12000);
  const DecodeCase big[] = {
      {"ASCII", Bytes({0, 0, 0, 0x41}), u"A"},
      {"supplementary", Bytes({0x00, 0x01, 0xF6, 0x00}), u"\U0001F600"},
      {"cut-off unit", Bytes({0, 0, 0x30}), u"\uFFFD"},
  };
  expectDecodes(std::begin(big), std::end(big), 12001);
}

TEST(AnsiToUTF16, EmptyInputOrUnknownCodePageGivesEmptyText) {
  for (std::uint16_t cp : {932, 20932, 50220, 65001, 12000})
    EXPECT_EQ(AnsiToUTF16("", cp), u"") << cp;
  for (std::uint16_t cp : {0, 1200, 1201, 1252, 65535})
    EXPECT_EQ(AnsiToUTF16("abc", cp), u"") << cp;
}

TEST(AnsiToUTF16, LongAsciiRunsAroundACharacter) {
  const struct {
    std::uint16_t codePage;
    std::string character;
    UnicodeString text;
  } cases[] = {{932, Bytes({0x82, 0xA0}), u"あ"},
               {20932, Bytes({0xA4, 0xA2}), u"あ"},
               {65001, Bytes({0xE3, 0x81, 0x82}), u"あ"},
               {50220, "\x1B$B$\"\x1B(B", u"あ"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    const std::string bytes = std::string(100001, 'a') + c.character + std::string(20003, 'b');
    const UnicodeString expected =
        UnicodeString(100001, u'a') + c.text + UnicodeString(20003, u'b');
    EXPECT_EQ(AnsiToUTF16(bytes, c.codePage), expected);
  }
}

TEST(MappingFix, Cp932TableReplacesItsTwoCodeUnits) {
  const UnicodeString input = u"a\u2015b\uFFE3c\u301C\u2212\u00A2\U0001F600";
  const UnicodeString fixed = MECSUtils::MecsMappingFix_CP932ToUnicode(input);
  EXPECT_EQ(fixed, u"a\u2014b\u203Ec\u301C\u2212\u00A2\U0001F600");
}

TEST(MappingFix, JisX0208TableReplacesEachEntry) {
  const struct {
    char16_t found;
    char16_t replaced;
  } table[] = {{u'\u00A2', u'\uFFE0'}, {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'},
               {u'\u2015', u'\u2014'}, {u'\u2016', u'\u2225'}, {u'\u2212', u'\uFF0D'},
               {u'\u301C', u'\uFF5E'}, {u'\uFFE3', u'\u203E'}};
  for (const auto& e : table) {
    SCOPED_TRACE(Hex(UnicodeString(1, e.found)));
    const UnicodeString input = UnicodeString(u"x") + e.found + u"y" + e.found;
    EXPECT_EQ(MECSUtils::MecsMappingFix_JISX0208ToUnicode(input),
              UnicodeString(u"x") + e.replaced + u"y" + e.replaced);
  }
  const UnicodeString untouched = UnicodeString(u"\u2014\uFF5E\U00010000\u00A5") + char16_t{0xD800};
  EXPECT_EQ(MECSUtils::MecsMappingFix_JISX0208ToUnicode(untouched), untouched);
}

}  // namespace
}  // namespace norvalis
