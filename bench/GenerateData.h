#pragma once

#include <cstdint>
#include <string>

namespace norvalis::bench {

// A Shift_JIS file of quoted fields shaped like a postal-code list: 8 to 15 fields of kanji,
// kana, half-width katakana and digits, CR LF line ends. Fixed seed, about `bytes` long.
void WriteShiftJisQuoted(const std::string& path, std::uint64_t bytes);

// An unquoted UTF-8 file (no mark, LF line ends) of the same shape.
void WriteUtf8Unquoted(const std::string& path, std::uint64_t bytes);

// Rows of the postal-code list's own shape (15 fields: code, quoted zip codes, quoted kana
// and kanji names, six flags; CR LF), in Shift_JIS or UTF-8, until about `bytes` long.
void WritePostalShape(const std::string& path, std::uint64_t bytes, bool shiftJis);

// The file `copies` times over, back to back.
void WriteRepeated(const std::string& source, const std::string& path, int copies);

}  // namespace norvalis::bench
