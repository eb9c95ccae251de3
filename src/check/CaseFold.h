#pragma once

#include <string>
#include <string_view>

namespace norvalis::CaseFold {

// The simple case folding of a code point (one code point to one, in the same plane), so
// texts that differ only in case fold to equal texts: "A", "a" and "Ａ" vs "ａ" alike.
char32_t FoldCodePoint(char32_t c);

// text with every code point folded, into out (replaced); lone surrogates stay as they are,
// and the length in code units never changes.
void Fold(std::u16string_view text, std::u16string& out);

}  // namespace norvalis::CaseFold
