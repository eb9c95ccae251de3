#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace norvalis {

// All text after decoding, all file names.
using UnicodeString = std::u16string;
// Raw bytes, never converted implicitly.
using AnsiString = std::string;

// Writes one code point as UTF-16 at d and advances d (a surrogate pair above U+FFFF);
// inline for the decoders' loops.
inline void PutUtf16(char32_t codePoint, char16_t*& d) {
  if (codePoint < 0x10000) {
    *d++ = static_cast<char16_t>(codePoint);
  } else {
    codePoint -= 0x10000;
    *d++ = static_cast<char16_t>(0xD800 | (codePoint >> 10));
    *d++ = static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF));
  }
}
// Appends one code point as UTF-16, as PutUtf16 writes it.
void AppendUtf16(UnicodeString& out, char32_t codePoint);
// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t codePoint);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// The same, appended to out.
void AppendUtf8(std::string& out, std::u16string_view text);
// UTF-8 to UTF-16 by the file decoder's rule (code page 65001): each maximal ill-formed
// subpart becomes one U+FFFD.
UnicodeString FromUtf8(std::string_view text);

// The number in decimal with a comma every three digits ("124,825"), as sizes are shown.
UnicodeString GroupDigits(std::uint64_t number);

// One argument of Format: %d takes an integer, %s a text.
using FormatArg = std::variant<long long, std::u16string_view>;

// printf-style %d and %s (and %% for a percent sign), in argument order.
UnicodeString Format(std::u16string_view format, std::initializer_list<FormatArg> args);

}  // namespace norvalis
