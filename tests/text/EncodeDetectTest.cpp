#include <gtest/gtest.h>

#include <string>

#include "TextTestSupport.h"
#include "text/EncodeDetect.h"
#include "text/StringUtility.h"

namespace norvalis {
namespace {

using namespace EncodeDetect;
using test::Bytes;

TEST(EncodeDetect, IsAsciiIsTrueUpTo7F) {
  EXPECT_TRUE(IsASCII(0x00));
  EXPECT_TRUE(IsASCII(0x7F));
  EXPECT_FALSE(IsASCII(0x80));
  EXPECT_FALSE(IsASCII(0xFF));
}

TEST(EncodeDetect, BomCheckFindsMarksWithUtf32First) {
  struct Case {
    std::string bytes;
    TBOMType expected;
  } cases[] = {{"", btNone},
               {Bytes({0xFF}), btNone},
               {Bytes({0xFF, 0xFE}), bt16LE},
               {Bytes({0xFE, 0xFF}), bt16BE},
               {Bytes({0xFF, 0xFE, 0x41, 0x00}), bt16LE},
               {Bytes({0xFF, 0xFE, 0x00, 0x00}), bt32LE},
               {Bytes({0xFF, 0xFE, 0x00}), bt16LE},
               {Bytes({0x00, 0x00, 0xFE, 0xFF}), bt32BE},
               {Bytes({0x00, 0x00, 0xFE}), btNone},
               {Bytes({0xEF, 0xBB, 0xBF}), btUTF8},
               {Bytes({0xEF, 0xBB}), btNone},
               {Bytes({0xEF, 0xBB, 0xBF, 0x82, 0xA0}), btUTF8},
               {"abc", btNone}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(BOMCheck(c.bytes), c.expected);
  }
}

TEST(EncodeDetect, IgnoredCheckAnswersNoWithoutTouchingItsCounter) {
  const std::string sjis = Bytes({0x82, 0xA0});
  const std::string euc = Bytes({0xA4, 0xA2});
  const std::string utf8 = Bytes({0xE3, 0x81, 0x82});
  std::int32_t score = 7;
  EXPECT_FALSE(IsSJIS(sjis, score, IgnoreBit(ieSJIS)));
  EXPECT_FALSE(IsEUC(euc, score, IgnoreBit(ieEUC)));
  EXPECT_FALSE(IsUTF8(utf8, score, IgnoreBit(ieUTF8)));
  EXPECT_FALSE(IsUTF7("a+MEI-b", score, IgnoreBit(ieUTF7)));
  EXPECT_EQ(score, 7);
  EXPECT_FALSE(IsJIS("\x1B$B", IgnoreBit(ieJIS)));
  EXPECT_EQ(BOMCheck(Bytes({0xFF, 0xFE}), IgnoreBit(ieBOM)), btNone);
  // Another member in the set leaves the check alone.
  EXPECT_TRUE(IsSJIS(sjis, score, IgnoreBit(ieEUC)));
  EXPECT_EQ(score, 9);
  // Counters add to the caller's value.
  EXPECT_TRUE(IsUTF8(utf8, score));
  EXPECT_EQ(score, 12);
  EXPECT_EQ(IgnoreBit(ieSJIS), 0x01);
  EXPECT_EQ(IgnoreBit(ieUTF7), 0x20);
  // Ignoring the mark lets the content decide.
  EXPECT_EQ(CheckEncoding(Bytes({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), IgnoreBit(ieBOM)), vUTF8);
  EXPECT_EQ(CheckEncoding("\x1B$Babc", IgnoreBit(ieJIS)), vNone);
}

TEST(EncodeDetect, IsJisDecidesOnTheFirstEscapeSequence) {
  struct Case {
    std::string bytes;
    bool expected;
  } cases[] = {
      {"abc\x1B(B", true},
      {"\x1B(J", true},
      {"\x1B(I", true},
      {"\x1B$@", true},
      {"\x1B$B", true},
      {"\x1B$(D", true},
      {"\x1B&@\x1B$B", true},
      {"abc", false},
      {"\x1B$", false},
      {"\x1B$(", false},
      {"\x1B(Z", false},
      {"ab\x1B$B" + Bytes({0x82, 0xA0}), true},
      {Bytes({0x82}) + "\x1B$B", false},
      {"\x1B(Z" + Bytes({0xA4}) + "\x1B$B", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(IsJIS(c.bytes), c.expected);
  }
}

struct ScanCase {
  const char* name;
  std::string bytes;
  bool sjis;
  int sjisScore;
  bool euc;
  int eucScore;
  bool utf8;
  int utf8Score;
};

TEST(EncodeDetect, ScanningChecksValidateAndScoreSequences) {
  const ScanCase cases[] = {
      {"ascii", "abc,1\r\n", true, 0, true, 0, true, 0},
      {"hiragana a in Shift_JIS", Bytes({0x82, 0xA0}), true, 2, false, 0, false, 0},
      {"hiragana a in EUC-JP", Bytes({0xA4, 0xA2}), true, 0, true, 2, false, 0},
      {"hiragana a in UTF-8", Bytes({0xE3, 0x81, 0x82}), true, 2, false, 0, true, 3},
      {"twice in UTF-8", Bytes({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82}), true, 6, false, 0, true, 6},
      {"E0 A1", Bytes({0xE0, 0xA1}), true, 2, true, 2, false, 0},
      {"half-width katakana", Bytes({0xB1, 0xB2, 0xB3}), true, 0, true, 2, false, 0},
      {"EUC SS2 katakana", Bytes({0x8E, 0xB1}), true, 2, true, 2, false, 0},
      {"EUC SS2 out of range", Bytes({0x8E, 0xE0}), true, 2, false, 0, false, 0},
      {"EUC SS3", Bytes({0x8F, 0xA1, 0xA1}), true, 2, true, 3, false, 0},
      {"EUC SS3 cut after two", Bytes({0x8F, 0xA1}), true, 2, true, 0, false, 0},
      {"EUC SS3 bad third", Bytes({0x8F, 0xA1, 0x41}), true, 2, false, 0, false, 0},
      {"Shift_JIS trail 7F", Bytes({0x81, 0x7F}), false, 0, false, 0, false, 0},
      {"Shift_JIS trail 80", Bytes({0x81, 0x80}), true, 2, false, 0, false, 0},
      {"Shift_JIS invalid 80", Bytes({0x80}), false, 0, false, 0, false, 0},
      {"Shift_JIS invalid A0", Bytes({0xA0}), false, 0, false, 0, false, 0},
      {"Shift_JIS invalid FD", Bytes({0xFD}), false, 0, true, 0, false, 0},
      {"lead last", Bytes({0x41, 0xE3}), true, 0, true, 0, true, 0},
      {"UTF-8 cut after a continuation", Bytes({0xE3, 0x81}), true, 2, false, 0, false, 0},
      {"UTF-8 overlong C0 80", Bytes({0xC0, 0x80}), false, 0, false, 0, true, 2},
      {"UTF-8 four bytes", Bytes({0xF0, 0x9F, 0x98, 0x80}), true, 4, false, 0, true, 4},
      {"UTF-8 F8 is a lead standing last in Shift_JIS", Bytes({0xF8}), true, 0, true, 0, false, 0},
      {"failure keeps what was counted", Bytes({0x82, 0xA0, 0x80}), false, 2, false, 0, false, 0},
      {"EUC failure keeps count", Bytes({0xA4, 0xA2, 0x90}), true, 0, false, 2, false, 0},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::int32_t sjis = 0, euc = 0, utf8 = 0;
    EXPECT_EQ(IsSJIS(c.bytes, sjis), c.sjis);
    EXPECT_EQ(sjis, c.sjisScore);
    EXPECT_EQ(IsEUC(c.bytes, euc), c.euc);
    EXPECT_EQ(euc, c.eucScore);
    EXPECT_EQ(IsUTF8(c.bytes, utf8), c.utf8);
    EXPECT_EQ(utf8, c.utf8Score);
  }
}

TEST(EncodeDetect, IsUtf7ScoresBase64Runs) {
  struct Case {
    std::string bytes;
    bool expected;
    int score;
  } cases[] = {
      {"a+MEI-b", true, 8},
      {"plain text, 1/2", true, 0},
      {"+", true, 2},
      {"a-b", true, 0},
      {"+AB-+CD-", true, 12},
      {"say \"hi\"", false, 0},
      {"+AB C", false, 6},
      {"+AB\r\n", false, 6},
      {"+AB,", false, 6},
      {"x=1", false, 0},
      {"a_b", false, 0},
      {"~", false, 0},
      {Bytes({0x41, 0x80}), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    std::int32_t score = 0;
    EXPECT_EQ(IsUTF7(c.bytes, score), c.expected);
    EXPECT_EQ(score, c.score);
  }
}

struct VerdictCase {
  const char* name;
  std::string bytes;
  int verdict;
  std::uint16_t codePage;
};

TEST(EncodeDetect, CheckEncodingAndDetectCodePageAgree) {
  const VerdictCase cases[] = {
      {"empty", "", vNone, 65535},
      {"plain ASCII", "id,name\r\n1,abc\r\n", vNone, 65535},
      {"UTF-8 mark before Shift_JIS", Bytes({0xEF, 0xBB, 0xBF, 0x82, 0xA0}), vUTF8BOM, 65001},
      {"UTF-32 LE mark", Bytes({0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00}), vUTF32LE, 12000},
      {"UTF-32 BE mark", Bytes({0x00, 0x00, 0xFE, 0xFF}), vUTF32BE, 12001},
      {"UTF-16 LE mark", Bytes({0xFF, 0xFE, 0x41, 0x00}), vUTF16LE, 1200},
      {"UTF-16 BE mark", Bytes({0xFE, 0xFF, 0x00, 0x41}), vUTF16BE, 1201},
      {"JIS with high bytes after", "ab\x1B$B" + Bytes({0x82, 0xA0, 0xE3}), vJIS, 50220},
      {"high byte before the escape", Bytes({0xA4, 0xA2}) + "\x1B$B", vEUC, 20932},
      {"a in Shift_JIS", Bytes({0x82, 0xA0}), vSJIS, 932},
      {"a in EUC-JP", Bytes({0xA4, 0xA2}), vEUC, 20932},
      {"a in UTF-8", Bytes({0xE3, 0x81, 0x82}), vUTF8, 65001},
      {"a twice in UTF-8 ties", Bytes({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82}), vNone, 65535},
      {"E0 A1 ties", Bytes({0xE0, 0xA1}), vNone, 65535},
      {"half-width katakana", Bytes({0xB1, 0xB2, 0xB3}), vEUC, 20932},
      {"UTF-7", "a+MEI-b", vUTF7, 65535},
      {"double quote is never UTF-7", "a+MEI-b\"", vNone, 65535},
      {"UTF-16 LE without mark", Bytes({0x41, 0x00, 0x42, 0x00}), vNone, 65535},
      {"C0 80", Bytes({0xC0, 0x80}), vUTF8, 65001},
      {"single F8", Bytes({0xF8}), vNone, 65535},
      // The greatest score wins only if its check held; a valid runner-up is not taken.
      {"greatest score failed", Bytes({0x82, 0xA0, 0x82, 0xA0, 0x80, 0xA4, 0xA2}), vNone, 65535},
  };
  for (const VerdictCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckEncoding(c.bytes), c.verdict);
    EXPECT_EQ(TStringUtility::DetectCodePage(c.bytes), c.codePage);
  }
}

// Lines of real-looking UTF-8 text, shifted by ASCII padding until the character that
// straddles the detection limit has `inside` of its bytes before the limit.
std::string contentAcrossLimit(const std::string& line, std::size_t inside) {
  const std::size_t limit = TStringUtility::MaxDetectBytes;
  auto continuation = [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 && b <= 0xBF;
  };
  for (std::size_t pad = 0; pad < 400; ++pad) {
    std::string content(pad, 'x');
    content += "\r\n";
    while (content.size() < limit + 200)
      content += line;
    if (!continuation(content[limit])) continue;
    std::size_t start = limit;
    while (continuation(content[start]))
      --start;
    if (limit - start == inside) return content;
  }
  ADD_FAILURE() << "no padding puts " << inside << " bytes before the limit";
  return {};
}

TEST(EncodeDetect, DetectionLimitNeverCutsAUtf8Character) {
  const std::string postal =
      "01101,\"060  \",\"0600000\",\"ホッカイドウ\",\"サッポロシチュウオウク\",\"北海道\","
      "\"札幌市中央区\",0,0,0\r\n";
  const std::string emoji = "01101,\"ホッカイドウ\U0001F600\",\"北海道\",0\r\n";
  // literalFails: whether reading exactly 102400 bytes loses UTF-8; the verdict on those
  // bytes then sends the whole file down the CP932 route, where it comes out garbled.
  struct Case {
    const char* name;
    std::string line;
    std::size_t inside;
    bool literalFails;
    int literalVerdict;
  } cases[] = {
      {"three bytes cut after the lead", postal, 1, false, vUTF8},
      {"three bytes cut after one continuation", postal, 2, true, vNone},
      {"four bytes cut after the lead", emoji, 1, false, vUTF8},
      {"four bytes cut after one continuation", emoji, 2, true, vNone},
      {"four bytes cut after two continuations", emoji, 3, true, vNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string content = contentAcrossLimit(c.line, c.inside);
    const std::string_view literal =
        std::string_view(content).substr(0, TStringUtility::MaxDetectBytes);
    std::int32_t score = 0;
    EXPECT_EQ(IsUTF8(literal, score), !c.literalFails);
    EXPECT_EQ(CheckEncoding(literal), c.literalVerdict);
    EXPECT_EQ(TStringUtility::DetectCodePage(content), 65001);
    EXPECT_NE(TStringUtility::ConvertToUnicodeString(content).find(FromUtf8(c.line)),
              UnicodeString::npos);
  }
}

TEST(EncodeDetect, OnlyTheFirstLimitBytesAreExamined) {
  const std::size_t limit = TStringUtility::MaxDetectBytes;
  // A Shift_JIS trail byte at the limit (in 80-BF) may shorten the window; the verdict stays.
  std::string sjis;
  while (sjis.size() < limit + 10)
    sjis += Bytes({0x82, 0xA0, 0x41});
  ASSERT_EQ(static_cast<unsigned char>(sjis[limit]), 0xA0);
  const struct {
    const char* name;
    std::string content;
    std::uint16_t codePage;
  } cases[] = {
      // Nothing follows the limit, so nothing is stepped back: the cut-off UTF-8 fails.
      {"exactly the limit", std::string(limit - 2, 'a') + Bytes({0xE3, 0x81}), 932},
      {"beyond the limit", std::string(limit, 'a') + Bytes({0x82, 0xA0}), 65535},
      {"trail byte at the limit", sjis, 932},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TStringUtility::DetectCodePage(c.content), c.codePage);
  }
}

}  // namespace
}  // namespace norvalis
