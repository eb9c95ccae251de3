#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis::fuzz {

// Stops the run with a message: libFuzzer keeps the input that got here as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

inline std::string_view AsBytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Code units from bytes: most bytes stand for themselves, the top ones for the units that
// need special handling (surrogate halves, the mark, kana), so short inputs reach them.
inline char16_t UnitOfByte(std::uint8_t b) {
  static constexpr char16_t Special[16] = {0x3042, 0xFEFF, 0xD800, 0xDC00, 0xFFFF, 0x0100,
                                           0xFF61, 0x2015, 0x0080, 0x0081, 0x00A0, 0x00FF,
                                           0x30FB, 0xFFFD, 0xDBFF, 0x007F};
  return b < 0xF0 ? static_cast<char16_t>(b) : Special[b - 0xF0];
}

// The bytes as a text: byte by byte through UnitOfByte, or as UTF-16 LE pairs.
inline UnicodeString TextOfBytes(std::string_view bytes, bool pairs) {
  UnicodeString text;
  if (pairs) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                    static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    }
    return text;
  }
  for (const char b : bytes)
    text += UnitOfByte(static_cast<std::uint8_t>(b));
  return text;
}

}  // namespace norvalis::fuzz
