#pragma once

#include <optional>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis {

// Encodes text in code page 932 (the ANSI code page here). Gives nothing when a character has
// no code there, or has only one that reads back as another character (such as U+00A5 to 5C).
std::optional<AnsiString> EncodeAnsiCodePage(std::u16string_view text);

}  // namespace norvalis
