// The compiled-in tables of code pages 932 and 20932 against glibc's converters, which they
// were generated from: every one- and two-byte sequence, and every three-byte one of EUC-JP.
#if __has_include(<iconv.h>)

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include <iconv.h>

#include "text/CodePage.h"
#include "text/CodePageTables.h"
#include "text/MECSUtils.h"

namespace norvalis {
namespace {

using namespace CodePageTables;

// One conversion descriptor; Convert gives nothing unless every byte converts.
class Glibc {
 public:
  Glibc(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Glibc() { iconv_close(cd_); }
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> Convert(std::string input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* o = out;
    std::size_t outLeft = sizeof out;
    if (iconv(cd_, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
      return std::nullopt;
    return std::string(out, sizeof out - outLeft);
  }

  // The one BMP unit a sequence decodes to, or Unmapped.
  char16_t Decode(std::initializer_list<unsigned> bytes) {
    std::string input;
    for (unsigned b : bytes)
      input += static_cast<char>(b);
    const std::optional<std::string> out = Convert(input);
    if (!out || out->size() != 2) return Unmapped;
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>((*out)[0]) |
                                            static_cast<unsigned char>((*out)[1]) << 8);
    return unit >= 0xD800 && unit <= 0xDFFF ? Unmapped : unit;
  }

 private:
  iconv_t cd_;
};

std::string hex(std::initializer_list<unsigned> bytes) {
  std::string out;
  for (unsigned b : bytes) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X ", b);
    out += buffer;
  }
  return out;
}

TEST(CodePageTables, ShiftJisMatchesGlibcOnEverySequence) {
  Glibc glibc("UTF-16LE", "CP932");
  ASSERT_TRUE(glibc.Valid());
  const Cp932& t = ShiftJis();
  // The bytes Windows maps and glibc rejects; every other unmapped byte reads as U+FFFD.
  const std::pair<unsigned, char16_t> windowsOnly[] = {{0x80, u'\u0080'},
                                                       {0xA0, u'\uF8F0'},
                                                       {0xFD, u'\uF8F1'},
                                                       {0xFE, u'\uF8F2'},
                                                       {0xFF, u'\uF8F3'}};
  for (unsigned b = 0; b < 256; ++b) {
    SCOPED_TRACE(hex({b}));
    ASSERT_EQ(t.lead[b], IsSjisLead(b));
    if (t.lead[b]) {
      EXPECT_EQ(glibc.Decode({b}), Unmapped);
      for (unsigned trail = 0; trail < 256; ++trail) {
        const char16_t expected = glibc.Decode({b, trail});
        // Nothing outside the trail range decodes, so the decoder may reject it unseen.
        if (!IsSjisTrail(trail)) {
          ASSERT_EQ(expected, Unmapped) << hex({b, trail});
          continue;
        }
        ASSERT_EQ(t.pair[b << 8 | trail], expected) << hex({b, trail});
      }
      continue;
    }
    char16_t expected = glibc.Decode({b});
    for (const auto& [byte, unit] : windowsOnly) {
      if (byte == b) expected = unit;
    }
    if (expected == Unmapped && b != 0) expected = u'\uFFFD';
    EXPECT_EQ(t.single[b], expected);
  }
}

TEST(CodePageTables, EucJpMatchesGlibcOnEverySequence) {
  Glibc glibc("UTF-16LE", "EUC-JP-MS");
  ASSERT_TRUE(glibc.Valid());
  const EucJp& t = EucJpMs();
  for (unsigned b = 0; b < 256; ++b) {
    const bool starts = b == 0x8E || b == 0x8F || IsEucByte(b);
    ASSERT_EQ(t.single[b], starts ? Unmapped : glibc.Decode({b})) << hex({b});
    if (!starts) continue;
    for (unsigned c = 0; c < 256; ++c) {
      const char16_t two = glibc.Decode({b, c});
      if (!IsEucByte(c) || b == 0x8F) {
        ASSERT_EQ(two, Unmapped) << hex({b, c});
      } else if (b == 0x8E) {
        ASSERT_EQ(t.kana[c - 0xA1], two) << hex({b, c});
      } else {
        ASSERT_EQ(t.pair[(b - 0xA1) * 94 + (c - 0xA1)], two) << hex({b, c});
      }
      if (b != 0x8F) continue;
      for (unsigned d = 0; d < 256; ++d) {
        const char16_t three = glibc.Decode({b, c, d});
        if (!IsEucByte(c) || !IsEucByte(d)) {
          ASSERT_EQ(three, Unmapped) << hex({b, c, d});
        } else {
          ASSERT_EQ(t.triple[(c - 0xA1) * 94 + (d - 0xA1)], three) << hex({b, c, d});
        }
      }
    }
  }
}

// What the settings were written with before: glibc's encoder, kept only where the code reads
// back as the same unit.
TEST(CodePageTables, ShiftJisEncodingMatchesGlibcOnEveryUnit) {
  Glibc glibc("CP932", "UTF-16LE");
  ASSERT_TRUE(glibc.Valid());
  int encoded = 0;
  for (unsigned u = 0; u < 0x10000; ++u) {
    const std::u16string unit(1, static_cast<char16_t>(u));
    std::optional<std::string> expected =
        glibc.Convert(std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)});
    if (expected && MECSUtils::AnsiToUTF16(*expected, CodePage::ShiftJis) != unit) expected.reset();
    const std::optional<std::string> actual = MECSUtils::UTF16ToAnsi(unit, CodePage::ShiftJis);
    ASSERT_EQ(actual, expected) << "U+" << std::hex << u;
    encoded += actual.has_value();
  }
  // ASCII, the katakana and JIS X 0208 with the extensions: the whole table, not a part.
  EXPECT_GT(encoded, 7500);
}

}  // namespace
}  // namespace norvalis

#endif
