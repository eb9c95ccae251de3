#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "TextTestSupport.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"
#include "text/StringUtility.h"

namespace norvalis {
namespace {

using test::Bytes;
using TFileUtility::LoadFileToAnsiString;
using TFileUtility::LoadFileToUnicodeString;

// Past the detection window, so the file is read in pieces.
constexpr std::size_t LargeBytes = 160 * 1024;

class LoadFileToUnicodeStringTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvalis-text-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    TFileUtility::Testing::SetPieceBytes(0);
    TFileUtility::Testing::SetResizeFunction(nullptr);
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

// Lines of CSV-like fields drawn from the given characters, with a few faults placed right
// before an LF (where a piece ends) and a few lines far longer than a piece. The faults come
// after the detection window, which they could otherwise sway.
std::string makeLines(std::mt19937& rng, const std::string (&chars)[6], const std::string& bad,
                      const std::string& head, std::size_t size, bool finalLf) {
  std::string out = head;
  while (out.size() < size) {
    const unsigned kind = rng() % 40;
    const std::size_t fields = kind == 0 ? 900 : 1 + rng() % 8;
    for (std::size_t f = 0; f < fields; ++f) {
      if (f != 0) out += ',';
      const std::size_t length = rng() % 6;
      for (std::size_t k = 0; k < length; ++k)
        out +=
            rng() % 3 == 0 ? std::string(1, static_cast<char>('0' + rng() % 10)) : chars[rng() % 6];
    }
    if (kind == 1 && out.size() > TStringUtility::MaxDetectBytes) out += bad;
    out += rng() % 2 == 0 ? "\r\n" : "\n";
  }
  if (!finalLf) out += chars[0];
  return out;
}

struct FileCase {
  const char* name;
  std::uint16_t codePage;  // what the detection must choose
  std::string bytes;
};

std::vector<FileCase> fileCases() {
  std::mt19937 rng(31337);
  const std::string utf8[6] = {"あ", "漢", "ｱ", "é", "😀", "―"};
  const std::string sjis[6] = {Bytes({0x82, 0xA0}), Bytes({0x8A, 0xBF}), Bytes({0xB1}),
                               Bytes({0x81, 0x5C}), Bytes({0x81, 0x50}), Bytes({0x88, 0x9F})};
  const std::string euc[6] = {Bytes({0xA4, 0xA2}),       Bytes({0xB4, 0xC1}), Bytes({0x8E, 0xB1}),
                              Bytes({0x8F, 0xA2, 0xF1}), Bytes({0xA1, 0xBD}), Bytes({0xB0, 0xA1})};
  std::vector<FileCase> cases;
  cases.push_back({"UTF-8 with mark", 65001,
                   makeLines(rng, utf8, Bytes({0xE3, 0x81}), "\xEF\xBB\xBF", LargeBytes, true)});
  cases.push_back({"UTF-8 without mark, no final LF", 65001,
                   makeLines(rng, utf8, Bytes({0xF0, 0x9F, 0x98}), "", LargeBytes, false)});
  cases.push_back({"Shift_JIS", 932, makeLines(rng, sjis, Bytes({0x82}), "", LargeBytes, true)});
  cases.push_back(
      {"EUC-JP", 20932, makeLines(rng, euc, Bytes({0x8F, 0xA2}), "", LargeBytes, false)});
  // Code pages that are never cut: the whole content is decoded at once.
  std::string jis;
  while (jis.size() < LargeBytes)
    jis += "a,\x1B$B$\"4A\x1B(B,b\r\n";
  cases.push_back({"ISO-2022-JP", 50220, jis});
  std::string utf16 = Bytes({0xFF, 0xFE});
  while (utf16.size() < LargeBytes)
    utf16 += Bytes({0x42, 0x30, 0x2C, 0x00, 0x22, 0x6F, 0x0A, 0x00});
  cases.push_back({"UTF-16LE", 1200, utf16});
  cases.push_back({"small file", 65001, "a,\xE3\x81\x82\n"});
  return cases;
}

TEST_F(LoadFileToUnicodeStringTest, EqualsReadingWholeThenConverting) {
  const std::vector<FileCase> cases = fileCases();
  for (const std::size_t piece :
       {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{0}}) {
    TFileUtility::Testing::SetPieceBytes(piece);
    for (const FileCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", piece " + std::to_string(piece));
      const std::string path = Write("in.csv", c.bytes);
      std::uint16_t wholeCodePage = 0;
      const UnicodeString whole = TStringUtility::ConvertToUnicodeString(
          LoadFileToAnsiString(FromUtf8(path)), &wholeCodePage);
      ASSERT_EQ(wholeCodePage, c.codePage);
      std::uint16_t codePage = 0;
      const UnicodeString text = LoadFileToUnicodeString(FromUtf8(path), &codePage);
      EXPECT_EQ(codePage, wholeCodePage);
      EXPECT_EQ(text.size(), whole.size());
      EXPECT_TRUE(text == whole);
    }
  }
}

TEST_F(LoadFileToUnicodeStringTest, DetectedCodePageIsOptional) {
  const std::string path = Write("in.csv", fileCases()[2].bytes);
  EXPECT_TRUE(LoadFileToUnicodeString(FromUtf8(path)) ==
              TStringUtility::ConvertToUnicodeString(LoadFileToAnsiString(FromUtf8(path))));
}

TEST_F(LoadFileToUnicodeStringTest, EmptyFileGivesWhatEmptyContentGives) {
  const std::string path = Write("empty.csv", "");
  std::uint16_t expected = 0;
  const UnicodeString text = TStringUtility::ConvertToUnicodeString("", &expected);
  std::uint16_t codePage = 1;
  EXPECT_EQ(LoadFileToUnicodeString(FromUtf8(path), &codePage), text);
  EXPECT_EQ(codePage, expected);
}

TEST_F(LoadFileToUnicodeStringTest, FailuresRaiseWhatTheWholeReadRaises) {
  const std::string missing = dir_ + "/missing.csv";
  const std::string paths[] = {missing, dir_};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    UnicodeString expected;
    try {
      LoadFileToAnsiString(FromUtf8(path));
    } catch (const EFOpenError& e) {
      expected = e.Message();
    }
    ASSERT_FALSE(expected.empty());
    try {
      LoadFileToUnicodeString(FromUtf8(path));
      ADD_FAILURE() << "no exception";
    } catch (const EFOpenError& e) {
      EXPECT_EQ(e.Message(), expected);
    }
  }
}

void failAllocation(AnsiString&, std::size_t) {
  throw std::bad_alloc();
}

// A code page that is decoded whole needs the whole buffer, and says so when it cannot
// have it.
TEST_F(LoadFileToUnicodeStringTest, WholeBufferThatCannotBeHadRaisesTheMemoryMessage) {
  const std::string path = Write("jis.csv", fileCases()[4].bytes);
  TFileUtility::Testing::SetResizeFunction(failAllocation);
  try {
    LoadFileToUnicodeString(FromUtf8(path));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation");
  }
}

}  // namespace
}  // namespace norvalis
