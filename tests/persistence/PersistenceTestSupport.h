#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "../support/TempDir.h"
#include "persistence/Config.h"
#include "text/UnicodeString.h"

namespace norvalis::testing {

// UTF-16 bytes of a text, without mark.
inline std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}
inline std::string Utf16Le(std::u16string_view text) {
  return Utf16(text, false);
}
inline std::string Utf16Be(std::u16string_view text) {
  return Utf16(text, true);
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether the path names anything, a dangling link included.
inline bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// Names in a folder, without "." and "..".
inline std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// Every field of the settings in one line, so that a single comparison checks them all.
inline std::string FieldsOf(const TConfig& c) {
  // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on "text" + temporary.
  std::string history;
  for (int i = 0; i < c.History.Count(); ++i) {
    if (i != 0) history += '|';
    history += ToUtf8(c.History[i]);
  }
  std::string fields;
  auto add = [&fields](const char* name, const std::string& value) {
    fields += name;
    fields += value;
  };
  add("Restore=", std::to_string(c.WindowPositionRestore));
  add(" Left=", std::to_string(c.WindowPositionLeft));
  add(" Top=", std::to_string(c.WindowPositionTop));
  add(" Right=", std::to_string(c.WindowPositionRight));
  add(" Bottom=", std::to_string(c.WindowPositionBottom));
  add(" State=", std::to_string(c.WindowState));
  add(" History[", std::to_string(c.History.Count()));
  add("]=", history);
  add(" ProjectRestore=", std::to_string(c.ProjectFileRestore));
  add(" Last=", ToUtf8(c.LastProjectFile));
  return fields;
}

// What loading a file without settings gives.
inline const std::string kLoadDefaults =
    "Restore=0 Left=0 Top=0 Right=434 Bottom=420 State=0 History[0]= ProjectRestore=0 Last=";

}  // namespace norvalis::testing
