#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "text/UnicodeString.h"

namespace norvalis {

// The encoding of an INI document's file.
enum class TIniEncoding {
  Ansi,     // code page 932, no mark
  Utf8,     // mark EF BB BF
  Utf16LE,  // mark FF FE
  Utf16BE,  // mark FE FF
};

// An INI text held in memory: read at once when opened, written only by UpdateFile.
// Section and key names compare without regard to case; lookups find the last occurrence.
class TMemIniFile {
 public:
  // Reads the file; a missing file (or empty name) gives an empty document. With an encoding
  // given, its mark is skipped and every other byte is decoded with it; without, the mark
  // decides and a file without one is code page 932. Raises EFOpenError when the file
  // exists but cannot be read.
  explicit TMemIniFile(UnicodeString fileName, std::optional<TIniEncoding> encoding = std::nullopt);

  // The value of the key's last line in the section's last occurrence, or defaultValue.
  UnicodeString ReadString(std::u16string_view section, std::u16string_view key,
                           const UnicodeString& defaultValue) const;
  // The value read as a 32-bit signed integer, or defaultValue when it does not parse or fit.
  // Hexadecimal values ($, x, X, 0x) of up to eight digits are taken as 32-bit two's
  // complement, so $FFFFFFFF is -1; more than 32 bits gives defaultValue.
  std::int32_t ReadInteger(std::u16string_view section, std::u16string_view key,
                           std::int32_t defaultValue) const;
  // True when the integer read (default 1 or 0) is not 0.
  bool ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const;

  // The name and value of every line with "=" in the section's last occurrence, in order.
  std::vector<std::pair<UnicodeString, UnicodeString>> ReadSectionValues(
      std::u16string_view section) const;
  // Makes the section's last occurrence hold exactly these lines (appending the section when
  // missing); with none, the section goes.
  void ReplaceSection(std::u16string_view section,
                      const std::vector<std::pair<UnicodeString, UnicodeString>>& values);

  // Replaces the key's last line in the section's last occurrence, or appends the key (and
  // the section) when missing.
  void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void WriteInteger(std::u16string_view section, std::u16string_view key, std::int32_t value);
  void WriteBool(std::u16string_view section, std::u16string_view key, bool value);

  // Writes the whole document to its file, atomically, with the mark of its encoding. A code
  // page 932 document with a character that has no code there is written as UTF-8 with mark.
  // Raises EFCreateError when the file cannot be written; the old file is then unchanged.
  void UpdateFile() const;

  // The document as saved: sections with their lines, CR LF line ends.
  UnicodeString Text() const;
  // The encoding read from the file or fixed by the caller; nothing for a new document.
  std::optional<TIniEncoding> Encoding() const { return encoding_; }
  const UnicodeString& FileName() const { return fileName_; }

 private:
  struct Section {
    UnicodeString name;
    std::vector<UnicodeString> lines;  // "name=value" or a line without "=", as read
  };

  void parse(std::u16string_view text);
  const Section* findSection(std::u16string_view name) const;
  Section* findSection(std::u16string_view name);

  UnicodeString fileName_;
  std::optional<TIniEncoding> encoding_;
  std::vector<Section> sections_;
};

// Reads an integer by the INI rules: nothing when the text does not parse or fit.
std::optional<std::int32_t> ParseIniInteger(std::u16string_view text);

}  // namespace norvalis
