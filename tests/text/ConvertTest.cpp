#include <gtest/gtest.h>

#include <string>

#include "TextTestSupport.h"
#include "text/Exception.h"
#include "text/MECSUtils.h"
#include "text/StringUtility.h"

namespace norvalis {
namespace {

using namespace TStringUtility;
using test::Bytes;
using test::Hex;

struct ConvertCase {
  const char* name;
  std::string bytes;
  std::uint16_t codePage;
  UnicodeString expected;
};

TEST(ConvertToUnicodeString, EachRouteDecodesAndCorrects) {
  const ConvertCase cases[] = {
      {"empty", "", 65535, u""},
      {"only the UTF-8 mark", Bytes({0xEF, 0xBB, 0xBF}), 65001, u""},
      {"UTF-8 mark removed", Bytes({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), 65001, u"あ"},
      {"UTF-8 mark before Shift_JIS bytes", Bytes({0xEF, 0xBB, 0xBF, 0x82, 0xA0}), 65001,
       u"\uFFFD\uFFFD"},
      {"unrecognised stops at the first zero byte", Bytes({0x41, 0x00, 0x42, 0x00}), 65535, u"A"},
      {"UTF-7 is not decoded", "a+MEI-b", 65535, u"a+MEI-b"},
      {"plain ASCII", "id,name\r\n1,x\r\n", 65535, u"id,name\r\n1,x\r\n"},
      {"Shift_JIS 81 5C corrected", Bytes({0x81, 0x5C}), 932, u"\u2014"},
      {"Shift_JIS 81 50 corrected", Bytes({0x81, 0x50}), 932, u"\u203E"},
      {"Shift_JIS text", Bytes({0x96, 0x6B, 0x8A, 0x43, 0x93, 0xB9, 0x2C, 0xB1}), 932, u"北海道,ｱ"},
      {"UTF-8 U+2015 stays", Bytes({0xE2, 0x80, 0x95}), 65001, u"\u2015"},
      {"UTF-8 U+FFE3 stays", Bytes({0xEF, 0xBF, 0xA3}), 65001, u"\uFFE3"},
      {"EUC-JP wave dash", Bytes({0xA1, 0xC1}), 20932, u"\uFF5E"},
      {"EUC-JP horizontal bar corrected", Bytes({0xA1, 0xBD}), 20932, u"\u2014"},
      {"EUC-JP macron corrected", Bytes({0xA1, 0xB1}), 20932, u"\u203E"},
      {"ISO-2022-JP wave dash", "\x1B$B!A\x1B(B", 50220, u"\uFF5E"},
      {"ISO-2022-JP horizontal bar corrected", "\x1B$B!=\x1B(B", 50220, u"\u2014"},
      {"ISO-2022-JP katakana and row 13", "\x1B(I1\x1B$B-!\x1B(B", 50220, u"ｱ①"},
      {"UTF-16 LE", Bytes({0xFF, 0xFE, 0x42, 0x30, 0x41, 0x00}), 1200, u"あA"},
      {"UTF-16 BE", Bytes({0xFE, 0xFF, 0x30, 0x42, 0x00, 0x41}), 1201, u"あA"},
      {"UTF-16 LE surrogate pair", Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), 1200,
       u"\U0001F600"},
      {"UTF-16 BE surrogate pair", Bytes({0xFE, 0xFF, 0xD8, 0x3D, 0xDE, 0x00}), 1201,
       u"\U0001F600"},
      {"UTF-16 lone surrogate", Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x41, 0x00}), 1200, u"\uFFFDA"},
      {"UTF-16 stops at U+0000", Bytes({0xFF, 0xFE, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), 1200,
       u"A"},
      {"UTF-16 BE stops at U+0000", Bytes({0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00, 0x00, 0x42}), 1201,
       u"A"},
      {"UTF-16 odd last byte", Bytes({0xFF, 0xFE, 0x41, 0x00, 0x42}), 1200, u"A\uFFFD"},
      {"UTF-16 second mark kept", Bytes({0xFF, 0xFE, 0xFF, 0xFE, 0x41, 0x00}), 1200, u"\uFEFFA"},
      {"UTF-32 LE mark removed", Bytes({0xFF, 0xFE, 0, 0, 0x42, 0x30, 0, 0}), 12000, u"あ"},
      {"UTF-32 BE mark removed", Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0x30, 0x42}), 12001, u"あ"},
      {"UTF-32 mark alone", Bytes({0xFF, 0xFE, 0, 0}), 12000, u""},
      // A tie goes the unrecognised route: code page 932 without the correction table.
      {"tie decodes as 932 uncorrected", Bytes({0xA1, 0xA1, 0x81, 0x5C}), 65535, u"｡｡\u2015"},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint16_t detected = 0;
    const UnicodeString text = ConvertToUnicodeString(c.bytes, &detected);
    EXPECT_EQ(detected, c.codePage);
    EXPECT_EQ(text, c.expected) << Hex(text) << " expected " << Hex(c.expected);
  }
}

TEST(ConvertToUnicodeString, DetectedCodePageIsOptional) {
  EXPECT_EQ(ConvertToUnicodeString(Bytes({0x82, 0xA0})), u"あ");
}

TEST(ConvertByCodePage, MarksAreRemovedOnlyForTheirOwnCodePage) {
  const ConvertCase cases[] = {
      {"UTF-16 LE without mark", Bytes({0x41, 0x00}), 1200, u"A"},
      {"UTF-16 BE mark under LE", Bytes({0xFE, 0xFF, 0x41, 0x00}), 1200, u"\uFFFEA"},
      {"UTF-8 mark under 932", Bytes({0xEF, 0xBB, 0xBF}), 932, u"\uFFFDｿ"},
      {"UTF-32 BE mark under LE", Bytes({0, 0, 0xFE, 0xFF}), 12000, u"\uFFFD"},
      {"unrecognised route cuts at zero", Bytes({0x81, 0x5C, 0x00, 0x41}), 65535, u"\u2015"},
      {"unknown code page", "abc", 1252, u""},
      {"EUC-JP through 51932", Bytes({0xA1, 0xBD}), 51932, u"\u2014"},
      {"ISO-2022-JP through 50222", "\x1B$B!=", 50222, u"\u2014"},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.name);
    const UnicodeString text = ConvertByCodePage(c.bytes, c.codePage);
    EXPECT_EQ(text, c.expected) << Hex(text) << " expected " << Hex(c.expected);
  }
}

TEST(ConvertCodePageWithMLang, Utf16BecomesUtf8UpToTheFirstZero) {
  const struct {
    const char* name;
    std::string bytes;
    std::uint16_t from;
    std::string expected;
  } cases[] = {
      {"LE", Bytes({0x42, 0x30, 0x41, 0x00}), 1200, Bytes({0xE3, 0x81, 0x82, 'A'})},
      {"BE", Bytes({0x30, 0x42, 0x00, 0x41}), 1201, Bytes({0xE3, 0x81, 0x82, 'A'})},
      {"LE mark is content here", Bytes({0xFF, 0xFE, 0x41, 0x00}), 1200,
       Bytes({0xEF, 0xBB, 0xBF, 'A'})},
      {"two-byte form", Bytes({0xA2, 0x00}), 1200, "\xC2\xA2"},
      {"surrogate pair", Bytes({0x3D, 0xD8, 0x00, 0xDE}), 1200, "\xF0\x9F\x98\x80"},
      {"lone low surrogate", Bytes({0x00, 0xDE, 0x41, 0x00}), 1200, Bytes({0xEF, 0xBF, 0xBD, 'A'})},
      {"high surrogate at the end", Bytes({0x41, 0x00, 0x3D, 0xD8}), 1200, "A\xEF\xBF\xBD"},
      {"U+0000 ends the result", Bytes({0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), 1200, "A"},
      {"empty", "", 1201, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ConvertCodePageWithMLang(c.bytes, c.from, 65001), c.expected);
  }
}

TEST(ConvertCodePageWithMLang, SameCodePageReturnsTheBytesUnchanged) {
  const std::string bytes = Bytes({0xEF, 0xBB, 0xBF, 0x00, 0x82});
  EXPECT_EQ(ConvertCodePageWithMLang(bytes, 65001, 65001), bytes);
  EXPECT_EQ(ConvertCodePageWithMLang(bytes, 932, 932), bytes);
}

TEST(ConvertCodePageWithMLang, UnsupportedPairRaisesTheInitialisationMessage) {
  for (auto [from, to] : {std::pair<std::uint16_t, std::uint16_t>{932, 65001},
                          {65001, 1200},
                          {1200, 932},
                          {20932, 51932}}) {
    SCOPED_TRACE(testing::Message() << from << " to " << to);
    try {
      ConvertCodePageWithMLang("abc", from, to);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), u"IEコンポーネントの初期化に失敗しました。(2)");
    }
  }
}

TEST(ConvertByCodePage, Utf16RouteEqualsTheUtf8Detour) {
  // The UTF-16 route decodes straight to UTF-16; it must give what going through UTF-8 gives.
  const std::string inputs[] = {
      Bytes({0x42, 0x30, 0x41, 0x00}),
      Bytes({0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDE, 0x3D, 0xD8}),
      Bytes({0x41, 0x00, 0x00, 0x00, 0x42, 0x00}),
      Bytes({0x41, 0x00, 0x42}),
      Bytes({0x00, 0xD8, 0x41, 0x00}),
      "",
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(testing::PrintToString(input));
    for (std::uint16_t cp : {1200, 1201}) {
      EXPECT_EQ(ConvertByCodePage(input, cp),
                MECSUtils::AnsiToUTF16(ConvertCodePageWithMLang(input, cp, 65001), 65001));
    }
  }
}

TEST(StringUtility, MarkTestsNeedTheWholeMark) {
  EXPECT_TRUE(HasUTF8BOM(Bytes({0xEF, 0xBB, 0xBF})));
  EXPECT_FALSE(HasUTF8BOM(Bytes({0xEF, 0xBB})));
  EXPECT_FALSE(HasUTF8BOM(Bytes({0xEF, 0xBF, 0xBB})));
  EXPECT_TRUE(HasUTF16LEBOM(Bytes({0xFF, 0xFE, 0x00, 0x00})));
  EXPECT_FALSE(HasUTF16LEBOM(Bytes({0xFF})));
  EXPECT_FALSE(HasUTF16LEBOM(Bytes({0xFE, 0xFF})));
  EXPECT_TRUE(HasUTF16BEBOM(Bytes({0xFE, 0xFF})));
  EXPECT_FALSE(HasUTF16BEBOM(Bytes({0xFF, 0xFE})));
  EXPECT_FALSE(HasUTF16BEBOM(""));
}

}  // namespace
}  // namespace norvalis
