#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>

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

// A fresh directory per test, removed afterwards; the file reader's seams are restored.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "norvalis-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    TFileUtility::Testing::SetOpenFunction(nullptr);
    TFileUtility::Testing::SetResizeFunction(nullptr);
    TFileUtility::Testing::SetHoldFunction(nullptr);
    TFileUtility::Testing::SetPieceBytes(0);
    std::error_code ignored;
    // A test may have taken the permissions away.
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string Write(const std::string& name, const std::string& bytes) {
    return WriteRepeated(name, "", bytes, 1, "");
  }

  // head, count copies of pattern, tail; written in blocks of about 4 MiB.
  std::string WriteRepeated(const std::string& name, const std::string& head,
                            const std::string& pattern, std::uint64_t count,
                            const std::string& tail) {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    const std::uint64_t perBlock =
        std::max<std::uint64_t>(1, (4u << 20) / std::max<std::size_t>(1, pattern.size()));
    std::string block;
    for (std::uint64_t i = 0; i < std::min(perBlock, count); ++i)
      block += pattern;
    for (std::uint64_t done = 0; done < count;) {
      const std::uint64_t n = std::min(perBlock, count - done);
      out.write(block.data(), static_cast<std::streamsize>(n * pattern.size()));
      done += n;
    }
    out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

  std::string dir_;
};

}  // namespace norvalis::test
