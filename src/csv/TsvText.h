#pragma once

#include <span>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis {

// Appends one cell as spreadsheets read it from the clipboard: as it is, or, when it holds a
// tab, a line break or a quote, in quotes with each quote doubled.
void AppendTsvField(std::u16string_view cell, UnicodeString& out);
// The cells joined by tabs, each as AppendTsvField writes it (no line end).
UnicodeString TsvLine(std::span<const UnicodeString> cells);

}  // namespace norvalis
