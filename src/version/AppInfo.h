#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "text/UnicodeString.h"

namespace norvalis {

// The program's version information: the strings of its version block by item number.
class TkAppInfo {
 public:
  // Items of GetValue.
  enum Item : unsigned {
    Comments = 0,
    CompanyName = 1,
    FileDescription = 2,
    FileVersion = 3,
    InternalName = 4,
    LegalCopyright = 5,
    LegalTradeMarks = 6,
    OriginalFilename = 7,
    PrivateBuild = 8,
    ProductName = 9,
    ProductVersion = 10,
  };

  // Reads the program's own version block. Raises Exception "バージョン情報を取得できません"
  // when there is none or it cannot be read.
  TkAppInfo();
  // Reads the given version block, likewise.
  explicit TkAppInfo(std::span<const std::uint8_t> versionData);

  // The value of the item's key in the string table of Translation; empty when absent. Items
  // above 10 ask with the empty key and give the empty text.
  UnicodeString GetValue(unsigned item) const;

  // The first translation: language in the low 16 bits, code page in the high 16 bits; 0 when
  // the block has no translation table.
  std::uint32_t Translation = 0;
  // The whole version block.
  std::vector<std::uint8_t> VersionData;
};

// The sub-block path of a string: "\StringFileInfo\%04X%04X\%s".
UnicodeString StringSubBlock(std::uint32_t translation, const char* key);

}  // namespace norvalis
