#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis::MECSUtils {

// The corrections a decoding applies as it goes (see the MecsMappingFix_ functions).
enum class MappingFix { None, CP932, JISX0208 };

// Decodes bytes of a code page to UTF-16; invalid sequences become U+FFFD, an unknown
// code page gives an empty text.
UnicodeString AnsiToUTF16(std::string_view bytes, std::uint16_t codePage);
// Appends AnsiToUTF16(bytes, codePage), corrected by fix, to out.
void AppendAnsiToUTF16(std::string_view bytes, std::uint16_t codePage, MappingFix fix,
                       UnicodeString& out);

// Encodes text in code page 932 (the only one written); nothing when a character has no code
// that reads back as that character.
std::optional<std::string> UTF16ToAnsi(std::u16string_view text, std::uint16_t codePage);

// Corrections after a conversion from Shift_JIS (U+2015 → U+2014, U+FFE3 → U+203E).
UnicodeString MecsMappingFix_CP932ToUnicode(UnicodeString text);
// Corrections after a conversion from EUC-JP or ISO-2022-JP.
UnicodeString MecsMappingFix_JISX0208ToUnicode(UnicodeString text);

}  // namespace norvalis::MECSUtils
