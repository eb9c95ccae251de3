#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "../support/TempDir.h"
#include "text/FileUtilityTesting.h"
#include "text/UnicodeString.h"

// Set where AddressSanitizer runs, which skips the tests it cannot run.
#if defined(__SANITIZE_ADDRESS__)
#define NORVALIS_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NORVALIS_UNDER_SANITIZER 1
#endif
#endif

namespace norvalis::test {

// Raw bytes from byte values, so zero bytes and high bytes read plainly in tables.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values)
    out.push_back(static_cast<char>(v));
  return out;
}

// The bytes of a file; empty when it is missing.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bytes of a file under tests/data/text.
inline std::string ReadTextData(const std::string& name) {
  return ReadFile(std::string(NORVALIS_TEST_DATA) + "/text/" + name);
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

// A scratch folder, and the file reader's seams put back after the test.
class ReaderTest : public TempDirTest {
 protected:
  void TearDown() override {
    TFileUtility::Testing::SetOpenFunction(nullptr);
    TFileUtility::Testing::SetResizeFunction(nullptr);
    TFileUtility::Testing::SetHoldFunction(nullptr);
    TFileUtility::Testing::SetPieceBytes(0);
  }
};

}  // namespace norvalis::test
