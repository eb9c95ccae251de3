#pragma once

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "text/UnicodeString.h"

namespace norvalis::test {

// Raw bytes from byte values, so zero bytes and high bytes read plainly in tables.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values)
    out.push_back(static_cast<char>(v));
  return out;
}

// The bytes of a file under tests/data/text; empty when it is missing.
inline std::string ReadTextData(const std::string& name) {
  std::ifstream in(std::string(NORVALIS_TEST_DATA) + "/text/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Code units in hex, for readable failure messages.
inline std::string Hex(const UnicodeString& text) {
  std::string out;
  char buffer[8];
  for (char16_t c : text) {
    std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(c));
    out += buffer;
  }
  return out;
}

}  // namespace norvalis::test
