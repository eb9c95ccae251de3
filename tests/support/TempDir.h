#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "text/UnicodeString.h"

namespace norvalis::test {

// A UTF-8 file name as the standard library's streams take it on every system (a narrow name
// would be read in the ANSI code page on Windows).
inline std::filesystem::path FileSystemPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A fresh folder of its own, removed with everything in it when the object goes; the one
// scratch folder of every test program.
class TempDir {
 public:
  TempDir() {
    std::error_code error;
    const std::filesystem::path base = ::testing::TempDir();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
      const std::filesystem::path candidate = base / ("norvalis-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) dir_ = candidate.string();
    }
  }
  ~TempDir() {
    if (dir_.empty()) return;
    std::error_code ignored;
    // A test may have taken the permissions away.
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool IsValid() const { return !dir_.empty(); }
  // The folder itself.
  const std::string& Folder() const { return dir_; }
  // A path inside the folder, as bytes and as the program's text.
  std::string Path(std::string_view name) const { return dir_ + "/" + std::string(name); }
  UnicodeString UPath(std::string_view name) const { return FromUtf8(Path(name)); }

  // Writes the file (replacing it); its path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    return WriteRepeated(name, "", bytes, 1, "");
  }

  // head, count copies of pattern, tail; written in blocks of about 4 MiB.
  std::string WriteRepeated(std::string_view name, std::string_view head, std::string_view pattern,
                            std::uint64_t count, std::string_view tail) const {
    const std::string path = Path(name);
    std::ofstream out(FileSystemPath(path), std::ios::binary | std::ios::trunc);
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

 private:
  std::string dir_;
};

// A test with a scratch folder: dir_ is its path.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.IsValid()); }

  std::string Path(std::string_view name) const { return temp_.Path(name); }
  UnicodeString UPath(std::string_view name) const { return temp_.UPath(name); }
  std::string Write(std::string_view name, std::string_view bytes) const {
    return temp_.Write(name, bytes);
  }
  std::string WriteRepeated(std::string_view name, std::string_view head, std::string_view pattern,
                            std::uint64_t count, std::string_view tail) const {
    return temp_.WriteRepeated(name, head, pattern, count, tail);
  }

  TempDir temp_;
  const std::string& dir_ = temp_.Folder();
};

}  // namespace norvalis::test
