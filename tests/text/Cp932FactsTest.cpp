// What code page 932 holds, derived from the program's own decoder, checked against glibc's
// CP932 encoder as a second route and at each lead-byte family.

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "text/Cp932Facts.h"
#include "../support/Iconv.h"

namespace norvalis {
namespace {

// glibc's encoding of one BMP code point, or nothing when it has none.
std::optional<std::string> GlibcEncode(Iconv& encoder, char32_t c) {
  const std::string utf16 = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return encoder.Convert(utf16, 8);
}

TEST(Cp932Facts, AgreeWithGlibcsEncoderButWhereTheDecodingCorrectsOrWindowsMapsMore) {
  Iconv encoder("CP932", "UTF-16LE");
  ASSERT_TRUE(encoder.Valid());
  // Where the two routes differ, and why: glibc's encoder also takes the JIS forms that no 932
  // sequence decodes to (a best fit the check must not make); the file decoding turns 81 5C
  // into U+2014 and 81 50 into U+203E; Windows maps 80, A0 and FD–FF, which glibc rejects.
  const std::set<char32_t> expected = {
      0x00A2, 0x00A3, 0x00A5, 0x00AC, 0x2016, 0x2212, 0x301C,  // best fits
      0x2015, 0x203E, 0xFFE3,                                  // the decoding's corrections
      0x0080, 0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3};                 // Windows' single bytes
  std::set<char32_t> differing;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::optional<std::string> bytes = GlibcEncode(encoder, c);
    const bool glibc = bytes.has_value() && !bytes->empty();
    if (glibc != Cp932Facts::IsEncodable(c) ||
        (glibc && static_cast<int>(bytes->size()) != Cp932Facts::ByteLength(c))) {
      differing.insert(c);
    }
  }
  EXPECT_EQ(differing, expected);
}

TEST(Cp932Facts, EveryCharacterHasSequencesOfOneLength) {
  std::set<char16_t> single;
  std::set<char16_t> pair;
  for (unsigned s = 0; s < 0x10000; ++s) {
    const char16_t c = Cp932Facts::Decoded(s);
    if (c == u'\uFFFD') continue;
    (s < 0x100 ? single : pair).insert(c);
  }
  for (const char16_t c : single)
    EXPECT_EQ(pair.count(c), 0u) << std::hex << static_cast<unsigned>(c);
  EXPECT_GT(pair.size(), 7000u);
}

TEST(Cp932Facts, EachLeadByteFamilyIsStandardOrNot) {
  struct Case {
    const char* what;
    char32_t c;
    bool encodable;
    int bytes;
    bool standard;
  };
  const Case cases[] = {
      {"ASCII", U'A', true, 1, true},
      {"backslash stays 5C", U'\\', true, 1, true},
      {"yen sign has no code", 0x00A5, false, 2, false},
      {"half-width katakana A1", 0xFF61, true, 1, true},
      {"half-width katakana DF", 0xFF9F, true, 1, true},
      {"single 80", 0x0080, true, 1, false},
      {"single A0", 0xF8F0, true, 1, false},
      {"single FF", 0xF8F3, true, 1, false},
      {"JIS X 0208 kanji 88 9F", U'亜', true, 2, true},
      {"JIS X 0208 last row EA A4", U'熙', true, 2, true},
      {"NEC special 87 40", U'①', true, 2, false},
      {"NEC special 87 90, also 81 E0", U'≒', true, 2, true},
      {"NEC special 87 8D", U'㈱', true, 2, false},
      {"NEC-selected ED 40", 0x7E8A, true, 2, false},
      {"IBM extension FA 40", 0x2170, true, 2, false},
      {"IBM extension FB", U'髙', true, 2, false},
      {"IBM extension FC 4B", 0x9ED1, true, 2, false},
      {"user-defined F0 40", 0xE000, true, 2, false},
      {"user-defined F9 FC", 0xE757, true, 2, false},
      {"outside the BMP", U'𠮷', false, 2, false},
      {"emoji", 0x1F600, false, 2, false},
      {"u with diaeresis", 0x00FC, false, 2, false},
      {"WAVE DASH", 0x301C, false, 2, false},
      {"FULLWIDTH TILDE", 0xFF5E, true, 2, true},
      {"replacement character", 0xFFFD, false, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Cp932Facts::IsEncodable(c.c), c.encodable);
    EXPECT_EQ(Cp932Facts::ByteLength(c.c), c.bytes);
    EXPECT_EQ(Cp932Facts::IsStandard(c.c), c.standard);
  }
}

}  // namespace
}  // namespace norvalis
