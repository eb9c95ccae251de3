#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

// Addresses and register values as both crash reports write them.
namespace norvalis::crash {

// "0x" and 16 digits.
inline std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
  return text;
}

// "0x" and the digits the value needs.
inline std::string ShortHex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%" PRIx64, value);
  return text;
}

}  // namespace norvalis::crash
