#pragma once

#include <array>
#include <cstdint>

// The decoding tables of code pages 932 and 20932, built once from data compiled into the
// program; src/text's own, read by its decoders and encoders.
namespace norvalis::CodePageTables {

// Marks a cell that the code page does not map (no Japanese code page maps to U+0000 in a
// multi-byte cell, so zero is free for that).
constexpr char16_t Unmapped = 0;

constexpr bool IsSjisLead(unsigned b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsSjisTrail(unsigned b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
constexpr bool IsEucByte(unsigned b) {
  return b >= 0xA1 && b <= 0xFE;
}

struct Cp932 {
  // Bytes that stand alone, as Windows decodes them; U+FFFD for the unmapped ones.
  std::array<char16_t, 256> single{};
  std::array<bool, 256> lead{};
  // Indexed by lead << 8 | trail.
  std::array<char16_t, 65536> pair{};
};

struct EucJp {
  // Single bytes; Unmapped for bytes that start a sequence or map to nothing.
  std::array<char16_t, 256> single{};
  // 0x8E followed by 0xA1-0xFE.
  std::array<char16_t, 94> kana{};
  // Two bytes 0xA1-0xFE, index (lead - 0xA1) * 94 + (trail - 0xA1).
  std::array<char16_t, 94 * 94> pair{};
  // 0x8F followed by two bytes 0xA1-0xFE, indexed like pair.
  std::array<char16_t, 94 * 94> triple{};
};

// Code page 932 as Windows decodes it.
const Cp932& ShiftJis();
// The code of each UTF-16 unit in code page 932 (a single byte, or lead << 8 | trail), the
// one Windows writes where several read as the unit; NoCode where none reads back as it.
constexpr std::uint16_t NoCode = 0xFFFF;
const std::array<std::uint16_t, 65536>& ShiftJisCodes();
// Code page 20932 (EUC-JP with the NEC and IBM extensions).
const EucJp& EucJpMs();

}  // namespace norvalis::CodePageTables
