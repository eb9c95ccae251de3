#pragma once

#include <cstdint>

// The Windows code-page numbers the program detects, decodes and reports; named here once.
namespace norvalis::CodePage {

constexpr std::uint16_t ShiftJis = 932;  // Shift_JIS with the Windows extensions
constexpr std::uint16_t EucJp = 20932;
constexpr std::uint16_t EucJpAlt = 51932;       // the other number Windows gives EUC-JP
constexpr std::uint16_t Iso2022Jp = 50220;      // ISO-2022-JP
constexpr std::uint16_t Iso2022JpKana = 50221;  // with half-width katakana
constexpr std::uint16_t Iso2022JpSo = 50222;    // with half-width katakana by SO/SI
constexpr std::uint16_t Utf16LE = 1200;
constexpr std::uint16_t Utf16BE = 1201;
constexpr std::uint16_t Utf32LE = 12000;
constexpr std::uint16_t Utf32BE = 12001;
constexpr std::uint16_t Utf7 = 65000;
constexpr std::uint16_t Utf8 = 65001;
// Nothing recognised: the content is decoded with the ANSI code page.
constexpr std::uint16_t None = 65535;
// The system ANSI code page; fixed, since Linux has none.
constexpr std::uint16_t Ansi = ShiftJis;

}  // namespace norvalis::CodePage
