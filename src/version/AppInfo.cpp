#include "version/AppInfo.h"

#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

#include "version/VersionBlock.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

constexpr const char* ItemKeys[] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTradeMarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",
};

}  // namespace

TkAppInfo::TkAppInfo() : TkAppInfo(ExecutableVersionData()) {}

TkAppInfo::TkAppInfo(std::span<const std::uint8_t> versionData)
    : VersionData(versionData.begin(), versionData.end()) {
  // A block whose root cannot be read counts as none.
  if (VersionData.empty() || !QueryVersionValue(VersionData, u"\\")) {
    throw Exception(u"バージョン情報を取得できません");
  }
  const std::optional<VersionValue> table =
      QueryVersionValue(VersionData, u"\\VarFileInfo\\Translation");
  if (table && table->bytes.size() >= 4) {
    const auto& b = table->bytes;
    Translation = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                  static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  }
}

UnicodeString TkAppInfo::GetValue(unsigned item) const {
  const char* key = item < std::size(ItemKeys) ? ItemKeys[item] : "";
  const std::optional<VersionValue> value =
      QueryVersionValue(VersionData, StringSubBlock(Translation, key));
  if (!value || !value->text) return {};
  return VersionText(*value);
}

UnicodeString StringSubBlock(std::uint32_t translation, const char* key) {
  const char* format = "\\StringFileInfo\\%04X%04X\\%s";
  const unsigned language = translation & 0xFFFFu;
  const unsigned codePage = translation >> 16;
  std::string path(
      static_cast<std::size_t>(std::snprintf(nullptr, 0, format, language, codePage, key)), '\0');
  std::snprintf(path.data(), path.size() + 1, format, language, codePage, key);
  return FromUtf8(path);
}

}  // namespace norvalis
