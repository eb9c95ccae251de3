#pragma once

#include <cstdint>

// What code page 932 can hold, as the program's own decoding of it says: every 1- and 2-byte
// sequence decoded once (with the corrections a file's decoding applies), and the table turned
// round. No hand-written list, so the checks agree with what the grid shows.
namespace norvalis::Cp932Facts {

// Facts of one UTF-16 code unit, as bits.
enum Fact : std::uint8_t {
  Encodable = 1,  // some 932 sequence decodes to it
  TwoBytes = 2,   // its sequences are two bytes long (else one)
  Standard = 4,   // a sequence of JIS X 0201 / JIS X 0208 decodes to it (not only extensions)
};

// The Fact bits of a code point; 0 for anything outside the BMP and for U+FFFD.
std::uint8_t FactsOf(char32_t codePoint);
inline bool IsEncodable(char32_t codePoint) {
  return (FactsOf(codePoint) & Encodable) != 0;
}
// The bytes the character takes in 932: 1 or 2, and 2 for one it cannot hold.
inline int ByteLength(char32_t codePoint) {
  const std::uint8_t f = FactsOf(codePoint);
  return (f & Encodable) == 0 || (f & TwoBytes) != 0 ? 2 : 1;
}
inline bool IsStandard(char32_t codePoint) {
  return (FactsOf(codePoint) & Standard) != 0;
}

// Whether a byte opens a two-byte sequence, and whether one may follow such a byte.
constexpr bool IsLeadByte(unsigned b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsTrailByte(unsigned b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
// Whether a sequence lies outside JIS X 0201 / JIS X 0208: NEC special characters (0x87),
// the NEC-selected and IBM extensions (0xED, 0xEE, 0xFA–0xFC), the user-defined area
// (0xF0–0xF9), and the single bytes Windows maps beyond the standard (0x80, 0xA0, 0xFD–0xFF).
constexpr bool IsExtensionLead(unsigned lead) {
  return lead == 0x87 || lead == 0xED || lead == 0xEE || (lead >= 0xF0 && lead <= 0xFC);
}
constexpr bool IsExtensionSingle(unsigned b) {
  return b == 0x80 || b == 0xA0 || b >= 0xFD;
}

// The code unit a sequence decodes to: index b for a single byte, lead << 8 | trail for a
// pair; U+FFFD where the decoding finds none.
char16_t Decoded(unsigned sequence);

}  // namespace norvalis::Cp932Facts
