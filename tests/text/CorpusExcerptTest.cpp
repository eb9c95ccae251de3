#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TextTestSupport.h"
#include "text/EncodeDetect.h"
#include "text/FileUtility.h"
#include "text/StringUtility.h"

namespace norvalis {
namespace {

using test::ReadTextData;

TEST(CorpusExcerpts, RealFilesDecodeToTheirJapaneseText) {
  const struct {
    const char* file;
    const char* expectedFile;  // UTF-8 text the decoder must give
    std::uint16_t codePage;
    UnicodeString contains;
  } cases[] = {
      {"iso2022jp_head.txt", "iso2022jp_head.expected.utf8", 50220, u"学問のすすめ"},
      {"ken_all_head.csv", "ken_all_head.expected.utf8", 932, u"\"ｻｯﾎﾟﾛｼﾁｭｳｵｳｸ\",\"ｱｻﾋｶﾞｵｶ\""},
      {"jigyosyo_row13.csv", "jigyosyo_row13.expected.utf8", 932, u"上尾Ⅰ"},
      {"ipadic_adverb_head.csv", "ipadic_adverb_head.expected.utf8", 20932, u"釈然と"},
      {"text_utf16le_head.txt", "text_utf16_head.expected.utf8", 1200, u"ここは昔"},
      {"text_utf16be_head.txt", "text_utf16_head.expected.utf8", 1201, u"ここは昔"},
      {"utf_ken_all_head.csv", "utf_ken_all_head.csv", 65001, u"\"ホッカイドウ\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string bytes = ReadTextData(c.file);
    ASSERT_FALSE(bytes.empty());
    std::uint16_t detected = 0;
    const UnicodeString text = TStringUtility::ConvertToUnicodeString(bytes, &detected);
    EXPECT_EQ(detected, c.codePage);
    EXPECT_TRUE(text == FromUtf8(ReadTextData(c.expectedFile)));
    EXPECT_NE(text.find(c.contains), UnicodeString::npos);
  }
}

TEST(CorpusExcerpts, Utf8WithMarkLosesOnlyTheMark) {
  const std::string bytes = ReadTextData("tokyo_covid19_head.csv");
  ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  std::uint16_t detected = 0;
  const UnicodeString text = TStringUtility::ConvertToUnicodeString(bytes, &detected);
  EXPECT_EQ(detected, 65001);
  EXPECT_TRUE(text == FromUtf8(bytes.substr(3)));
  EXPECT_EQ(text.rfind(u"No,全国地方公共団体コード", 0), 0u);
}

// The whole Japan Post UTF-8 list, where a machine has the shared corpus.
TEST(CorpusExcerpts, JapanPostUtf8ListIsDetectedAsUtf8) {
  const char* path = "/work/shared/corpus/utf_ken_all.csv";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "corpus not present";
  const AnsiString content = TFileUtility::LoadFileToAnsiString(FromUtf8(path));
  std::int32_t score = 0;
  const std::string_view literal =
      std::string_view(content).substr(0, TStringUtility::MaxDetectBytes);
  EXPECT_FALSE(EncodeDetect::IsUTF8(literal, score));
  // Nothing recognised: it would go the CP932 route and come out garbled.
  EXPECT_EQ(EncodeDetect::CheckEncoding(literal), EncodeDetect::vNone);
  EXPECT_EQ(TStringUtility::DetectCodePage(content), 65001);
}

}  // namespace
}  // namespace norvalis
