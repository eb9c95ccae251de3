#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "text/UnicodeString.h"

// The framework's comma text, as the settings file writes and reads lists: entries joined by
// commas, quoted (quotes doubled) when they hold a blank, a control, a quote or a comma.
namespace norvalis::CommaText {

// The entries as one comma text.
UnicodeString Join(std::span<const UnicodeString> entries);
// The entries of a comma text: unquoted entries end at a comma or a blank, quoted ones at
// their closing quote; a U+0000 ends the text.
std::vector<UnicodeString> Split(std::u16string_view text);

}  // namespace norvalis::CommaText
