#include "text/Cp932Facts.h"

#include <array>
#include <memory>
#include <string>

#include "text/CodePage.h"
#include "text/StringUtility.h"

namespace norvalis::Cp932Facts {

namespace {

struct Tables {
  std::array<char16_t, 65536> decoded{};
  std::array<std::uint8_t, 65536> facts{};
};

// Decodes a sequence as a cell of a 932 file is decoded; U+FFFD unless it gives one unit.
char16_t decodeLikeACell(const unsigned char* bytes, std::size_t length) {
  UnicodeString out;
  TStringUtility::AppendConvertedPiece(
      std::string_view(reinterpret_cast<const char*>(bytes), length), CodePage::ShiftJis, false,
      out);
  return out.size() == 1 ? out[0] : u'\uFFFD';
}

void record(Tables& t, unsigned sequence, char16_t unit, bool twoBytes, bool standard) {
  t.decoded[sequence] = unit;
  if (unit == u'\uFFFD') return;
  std::uint8_t& f = t.facts[unit];
  f |= Encodable;
  if (twoBytes) f |= TwoBytes;
  if (standard) f |= Standard;
}

const Tables& tables() {
  static const std::unique_ptr<Tables> built = [] {
    auto t = std::make_unique<Tables>();
    t->decoded.fill(u'\uFFFD');
    for (unsigned b = 0; b < 256; ++b) {
      const auto byte = static_cast<unsigned char>(b);
      if (!IsLeadByte(b)) {
        record(*t, b, decodeLikeACell(&byte, 1), false, !IsExtensionSingle(b));
        continue;
      }
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        if (!IsTrailByte(trail)) continue;
        const unsigned char pair[2] = {byte, static_cast<unsigned char>(trail)};
        record(*t, b << 8 | trail, decodeLikeACell(pair, 2), true, !IsExtensionLead(b));
      }
    }
    return t;
  }();
  return *built;
}

}  // namespace

std::uint8_t FactsOf(char32_t codePoint) {
  return codePoint < 0x10000 ? tables().facts[codePoint] : 0;
}

char16_t Decoded(unsigned sequence) {
  return sequence < 0x10000 ? tables().decoded[sequence] : u'\uFFFD';
}

}  // namespace norvalis::Cp932Facts
