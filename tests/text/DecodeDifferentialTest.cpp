#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "TextTestSupport.h"
#include "text/MECSUtils.h"

namespace norvalis {
namespace {

using MECSUtils::AnsiToUTF16;
using MECSUtils::AppendAnsiToUTF16;
using MECSUtils::MappingFix;
using test::Bytes;
using test::Hex;

void appendCodePoint(char32_t cp, UnicodeString& out) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    out += static_cast<char16_t>(0xD7C0 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
  }
}

// UTF-8 by the table of well-formed sequences in the Unicode standard, one U+FFFD for each
// maximal subpart of an ill-formed sequence; slow and plain on purpose.
UnicodeString referenceUtf8(std::string_view bytes) {
  struct Form {
    unsigned firstLead, lastLead, length, secondLow, secondHigh;
  };
  static constexpr Form forms[] = {
      {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
      {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
      {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
  };
  UnicodeString out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    const Form* form = nullptr;
    for (const Form& f : forms) {
      if (lead >= f.firstLead && lead <= f.lastLead) form = &f;
    }
    if (form == nullptr) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    std::size_t taken = 1;
    while (taken < form->length && i + taken < bytes.size()) {
      const auto c = static_cast<unsigned char>(bytes[i + taken]);
      const unsigned low = taken == 1 ? form->secondLow : 0x80;
      const unsigned high = taken == 1 ? form->secondHigh : 0xBF;
      if (c < low || c > high) break;
      ++taken;
    }
    if (taken < form->length) {
      out += u'\uFFFD';
    } else {
      char32_t cp = lead & (0xFF >> (form->length + 1));
      for (std::size_t k = 1; k < taken; ++k)
        cp = cp << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
      appendCodePoint(cp, out);
    }
    i += taken;
  }
  return out;
}

std::string utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// Mostly well-formed text (ASCII runs of every length, Japanese, two- and four-byte forms)
// with every kind of fault mixed in: cut sequences, stray continuation bytes, overlong
// forms, surrogates, values above U+10FFFF and bytes that never occur.
std::string randomUtf8(std::mt19937& rng, std::size_t length) {
  auto pick = [&rng](unsigned low, unsigned high) {
    return std::uniform_int_distribution<unsigned>(low, high)(rng);
  };
  std::string out;
  while (out.size() < length) {
    switch (pick(0, 11)) {
      case 0:
      case 1: {
        const unsigned run = pick(0, 40);
        for (unsigned k = 0; k < run; ++k)
          out += static_cast<char>(pick(0, 0x7F));
        break;
      }
      case 2:
      case 3:
      case 4:
        out += utf8Of(pick(0x3000, 0x9FFF));  // kana and kanji
        break;
      case 5:
        out += utf8Of(pick(0xFF61, 0xFF9F));  // half-width katakana
        break;
      case 6:
        out += utf8Of(pick(0x80, 0x7FF));
        break;
      case 7:
        out += utf8Of(pick(0x10000, 0x10FFFF));
        break;
      case 8: {
        // A well-formed sequence cut short.
        const std::string whole = utf8Of(pick(0x80, 0x10FFFF));
        out += whole.substr(0, pick(1, static_cast<unsigned>(whole.size()) - 1));
        break;
      }
      case 9: {
        static const std::string edges[] = {Bytes({0xE0, 0x80, 0x80}),
                                            Bytes({0xE0, 0x9F, 0xBF}),
                                            Bytes({0xED, 0xA0, 0x80}),
                                            Bytes({0xED, 0x9F, 0xBF}),
                                            Bytes({0xF4, 0x90, 0x80, 0x80}),
                                            Bytes({0xF0, 0x8F, 0xBF, 0xBF}),
                                            Bytes({0xC0, 0xAF}),
                                            Bytes({0xC1, 0xBF}),
                                            Bytes({0xC2, 0x80}),
                                            Bytes({0xEF, 0xBF, 0xBF}),
                                            Bytes({0xF5, 0x80}),
                                            Bytes({0xFF}),
                                            Bytes({0xE3, 0x81}),
                                            Bytes({0xE3, 0x41, 0x82})};
        out += edges[pick(0, std::size(edges) - 1)];
        break;
      }
      case 10:
        out += static_cast<char>(pick(0x80, 0xBF));
        break;
      default:
        out += static_cast<char>(pick(0, 0xFF));
        break;
    }
  }
  return out;
}

TEST(Utf8Decoding, MatchesTheReferenceOnRandomText) {
  std::mt19937 rng(7411);
  // Short texts hit the tails, long ones the block seams.
  for (int round = 0; round < 600; ++round) {
    const std::size_t length = round < 400 ? rng() % 64 : rng() % 40000;
    const std::string bytes = randomUtf8(rng, length);
    const UnicodeString expected = referenceUtf8(bytes);
    const UnicodeString decoded = AnsiToUTF16(bytes, 65001);
    if (decoded != expected) {
      std::size_t at = 0;
      while (at < decoded.size() && at < expected.size() && decoded[at] == expected[at])
        ++at;
      const std::size_t from = at < 8 ? 0 : at - 8;
      ADD_FAILURE() << "round " << round << ", first difference at unit " << at << "\n  got      "
                    << Hex(decoded.substr(from, 16)) << "\n  expected "
                    << Hex(expected.substr(from, 16));
      return;
    }
  }
}

TEST(Utf8Decoding, EveryTwoAndThreeByteFormMatchesTheReference) {
  // Each lead with every second byte, followed by a third byte from the edges of the range.
  std::string bytes;
  for (unsigned lead = 0xC0; lead <= 0xEF; ++lead) {
    for (unsigned second = 0; second <= 0xFF; ++second) {
      for (const unsigned third : {0x7Fu, 0x80u, 0xBFu, 0xC0u}) {
        bytes += static_cast<char>(lead);
        bytes += static_cast<char>(second);
        bytes += static_cast<char>(third);
        bytes += 'x';
      }
    }
  }
  const UnicodeString expected = referenceUtf8(bytes);
  EXPECT_EQ(AnsiToUTF16(bytes, 65001), expected);
}

TEST(Utf8Decoding, AsciiRunsOfEveryLengthAroundOtherCharacters) {
  for (std::size_t run = 0; run <= 40; ++run) {
    SCOPED_TRACE(run);
    const std::string ascii(run, 'a');
    const std::string bytes = ascii + "\xE3\x81\x82" + ascii + "\xC3" + ascii;
    const UnicodeString units(run, u'a');
    EXPECT_EQ(AnsiToUTF16(bytes, 65001), units + u"あ" + units + u"\uFFFD" + units);
  }
}

// Shift_JIS and EUC-JP decode each sequence on its own, so a text of whole sequences decodes
// as the concatenation of its parts; this holds the ASCII runs to every length and position.
TEST(MultiByteDecoding, WholeTextEqualsItsPartsDecodedOneByOne) {
  const struct {
    std::uint16_t codePage;
    std::string pieces[4];
  } cases[] = {
      {932, {Bytes({0x82, 0xA0}), Bytes({0xB1}), Bytes({0x81, 0x5C}), Bytes({0xFF})}},
      {20932,
       {Bytes({0xA4, 0xA2}), Bytes({0x8E, 0xB1}), Bytes({0x8F, 0xA2, 0xF1}), Bytes({0xA1, 0xBD})}},
  };
  std::mt19937 rng(2024);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    for (int round = 0; round < 40; ++round) {
      std::string bytes;
      UnicodeString expected;
      while (bytes.size() < 20000) {
        std::string part;
        if (rng() % 2 == 0) {
          part.assign(rng() % 40, static_cast<char>('0' + rng() % 10));
        } else {
          part = c.pieces[rng() % 4];
        }
        bytes += part;
        expected += AnsiToUTF16(part, c.codePage);
      }
      ASSERT_EQ(AnsiToUTF16(bytes, c.codePage), expected) << "round " << round;
    }
  }
}

// The corrections applied while decoding give what the separate correction pass gives.
TEST(AppendAnsiToUTF16, CorrectionsEqualTheSeparatePass) {
  const struct {
    std::uint16_t codePage;
    MappingFix fix;
    std::string unit;  // a sequence that decodes to a corrected character
  } cases[] = {
      {932, MappingFix::CP932, Bytes({0x81, 0x5C})},             // U+2015
      {932, MappingFix::CP932, Bytes({0x81, 0x50})},             // U+FFE3
      {20932, MappingFix::JISX0208, Bytes({0xA1, 0xBD})},        // U+2015
      {65001, MappingFix::JISX0208, Bytes({0xC2, 0xA2})},        // U+00A2
      {65001, MappingFix::JISX0208, Bytes({0xE2, 0x88, 0x92})},  // U+2212
      {65001, MappingFix::JISX0208, Bytes({0xE3, 0x80, 0x9C})},  // U+301C
      {65001, MappingFix::JISX0208, Bytes({0xEF, 0xBF, 0xA3})},  // U+FFE3
  };
  std::mt19937 rng(99);
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(AnsiToUTF16(c.unit, c.codePage)));
    std::string bytes;
    while (bytes.size() < 30000) {
      bytes.append(rng() % 20, 'z');
      bytes += c.unit;
    }
    const UnicodeString plain = AnsiToUTF16(bytes, c.codePage);
    const UnicodeString corrected = c.fix == MappingFix::CP932
                                        ? MECSUtils::MecsMappingFix_CP932ToUnicode(plain)
                                        : MECSUtils::MecsMappingFix_JISX0208ToUnicode(plain);
    ASSERT_TRUE(corrected != plain) << "the case has nothing to correct";
    UnicodeString appended = u"kept";
    AppendAnsiToUTF16(bytes, c.codePage, c.fix, appended);
    EXPECT_TRUE(appended == u"kept" + corrected);
  }
}

}  // namespace
}  // namespace norvalis
