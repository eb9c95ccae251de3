#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis::Encodings {

constexpr std::uint16_t ShiftJis = 932;
constexpr std::uint16_t EucJp = 20932;
constexpr std::uint16_t Iso2022Jp = 50220;
constexpr std::uint16_t Utf8 = 65001;
constexpr std::uint16_t Utf7 = 65000;
constexpr std::uint16_t Utf16LE = 1200;
constexpr std::uint16_t Utf16BE = 1201;
constexpr std::uint16_t Utf32LE = 12000;
constexpr std::uint16_t Utf32BE = 12001;

// An encoding a user may choose to read a file with.
struct Choice {
  std::uint16_t codePage;
  std::u16string_view name;
};

// The encodings offered in place of detection, in menu order. UTF-8 with and without a mark
// are one choice: the decoding drops a mark either way.
std::span<const Choice> Choices();
// Whether the code page is one of Choices(); anything else reads as automatic (0).
bool IsChoice(std::uint16_t codePage);
// The name people know for the encoding a table was decoded with ("Shift_JIS", "UTF-8 (BOM)",
// …); leadingBytes, the file's first bytes, tell UTF-8 with a mark from UTF-8 without.
UnicodeString DisplayName(std::uint16_t codePage, std::string_view leadingBytes);

}  // namespace norvalis::Encodings
