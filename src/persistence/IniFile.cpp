#include "persistence/IniFile.h"

#include <cerrno>
#include <string>
#include <utility>

#include "persistence/AnsiCodePage.h"
#include "persistence/AtomicFile.h"
#include "persistence/StringList.h"
#include "platform/FileStatus.h"
#include "text/CodePage.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/MECSUtils.h"

namespace norvalis {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// All bytes of the file, or nothing when there is no file of that name (a folder is none).
std::optional<AnsiString> readExistingFile(const UnicodeString& fileName) {
  if (fileName.empty()) return std::nullopt;
  platform::FileStatus status;
  if (const int error = platform::PathStatus(ToUtf8(fileName), status); error != 0) {
    if (error == ENOENT || error == ENOTDIR) return std::nullopt;
    throw EFOpenError::ForPath(fileName, error);
  }
  if (status.kind == platform::FileKind::Folder) return std::nullopt;
  const platform::File file = TFileUtility::OpenForReading(fileName);
  return TFileUtility::ReadToEnd(file, fileName);
}

bool startsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

// A trailing odd byte holds no whole code unit and is dropped.
UnicodeString decodeUtf16(std::string_view bytes, bool bigEndian) {
  UnicodeString text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text += bigEndian ? static_cast<char16_t>(first << 8 | second)
                      : static_cast<char16_t>(second << 8 | first);
  }
  return text;
}

std::string encodeUtf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string_view markOf(TIniEncoding encoding) {
  switch (encoding) {
    case TIniEncoding::Utf8:
      return kUtf8Mark;
    case TIniEncoding::Utf16LE:
      return kUtf16LeMark;
    case TIniEncoding::Utf16BE:
      return kUtf16BeMark;
    case TIniEncoding::Ansi:
      break;
  }
  return {};
}

UnicodeString decodeWith(TIniEncoding encoding, std::string_view bytes) {
  switch (encoding) {
    case TIniEncoding::Utf8:
      return FromUtf8(bytes);
    case TIniEncoding::Utf16LE:
      return decodeUtf16(bytes, false);
    case TIniEncoding::Utf16BE:
      return decodeUtf16(bytes, true);
    case TIniEncoding::Ansi:
      break;
  }
  return MECSUtils::AnsiToUTF16(bytes, CodePage::Ansi);
}

TIniEncoding encodingByMark(std::string_view bytes) {
  if (startsWith(bytes, kUtf16LeMark)) return TIniEncoding::Utf16LE;
  if (startsWith(bytes, kUtf16BeMark)) return TIniEncoding::Utf16BE;
  if (startsWith(bytes, kUtf8Mark)) return TIniEncoding::Utf8;
  return TIniEncoding::Ansi;
}

bool isBlank(char16_t c) {
  return c <= 32;
}

std::u16string_view trim(std::u16string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin]))
    ++begin;
  while (end > begin && isBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

// Whether the stored line holds the key: its name before the first "=" equals it.
bool lineHasKey(std::u16string_view line, std::u16string_view key) {
  const std::size_t equals = line.find(u'=');
  return equals != std::u16string_view::npos && SameTextIgnoreCase(line.substr(0, equals), key);
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Hexadecimal digits as a 32-bit pattern; nothing when empty, not hexadecimal or too large.
std::optional<std::uint32_t> parseHex(std::u16string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char16_t c : digits) {
    const int digit = hexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::optional<std::int32_t> parseDecimal(std::u16string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  std::uint64_t value = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - u'0');
    if (value > limit) return std::nullopt;
  }
  const auto magnitude = static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::optional<std::int32_t> hexToInteger(std::u16string_view digits, bool negative) {
  const std::optional<std::uint32_t> bits = parseHex(digits);
  if (!bits) return std::nullopt;
  return static_cast<std::int32_t>(negative ? 0u - *bits : *bits);
}

}  // namespace

std::optional<std::int32_t> ParseIniInteger(std::u16string_view text) {
  if (text.size() >= 3 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    return hexToInteger(text.substr(2), false);
  }
  std::size_t p = 0;
  while (p < text.size() && text[p] == u' ')
    ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == u'+' || text[p] == u'-')) {
    negative = text[p] == u'-';
    ++p;
  }
  const std::u16string_view rest = text.substr(p);
  if (!rest.empty() && (rest[0] == u'$' || rest[0] == u'x' || rest[0] == u'X')) {
    return hexToInteger(rest.substr(1), negative);
  }
  if (rest.size() >= 2 && rest[0] == u'0' && (rest[1] == u'x' || rest[1] == u'X')) {
    return hexToInteger(rest.substr(2), negative);
  }
  return parseDecimal(rest, negative);
}

TMemIniFile::TMemIniFile(UnicodeString fileName, std::optional<TIniEncoding> encoding)
    : fileName_(std::move(fileName)), encoding_(encoding) {
  const std::optional<AnsiString> bytes = readExistingFile(fileName_);
  if (!bytes) return;
  std::string_view content = *bytes;
  if (!encoding_) encoding_ = encodingByMark(content);
  const std::string_view mark = markOf(*encoding_);
  if (!mark.empty() && startsWith(content, mark)) content.remove_prefix(mark.size());
  parse(decodeWith(*encoding_, content));
}

void TMemIniFile::parse(std::u16string_view text) {
  std::size_t start = 0;
  Section* current = nullptr;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
      ++end;
    const std::u16string_view line = trim(text.substr(start, end - start));
    start = end;
    // CR LF, a lone CR and a lone LF each end a line.
    if (start < text.size() && text[start++] == u'\r' && start < text.size() &&
        text[start] == u'\n') {
      ++start;
    }

    if (line.empty() || line.front() == u';') continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      sections_.push_back(Section{UnicodeString(trim(line.substr(1, line.size() - 2))), {}});
      current = &sections_.back();
      continue;
    }
    if (current == nullptr) continue;
    const std::size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) {
      current->lines.emplace_back(line);
      continue;
    }
    UnicodeString stored(trim(line.substr(0, equals)));
    stored += u'=';
    stored += trim(line.substr(equals + 1));
    current->lines.push_back(std::move(stored));
  }
}

const TMemIniFile::Section* TMemIniFile::findSection(std::u16string_view name) const {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
    if (SameTextIgnoreCase(it->name, name)) return &*it;
  }
  return nullptr;
}

TMemIniFile::Section* TMemIniFile::findSection(std::u16string_view name) {
  return const_cast<Section*>(std::as_const(*this).findSection(name));
}

UnicodeString TMemIniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                      const UnicodeString& defaultValue) const {
  const Section* found = findSection(section);
  if (found == nullptr) return defaultValue;
  for (auto it = found->lines.rbegin(); it != found->lines.rend(); ++it) {
    if (lineHasKey(*it, key)) return it->substr(it->find(u'=') + 1);
  }
  return defaultValue;
}

std::int32_t TMemIniFile::ReadInteger(std::u16string_view section, std::u16string_view key,
                                      std::int32_t defaultValue) const {
  return ParseIniInteger(ReadString(section, key, UnicodeString())).value_or(defaultValue);
}

bool TMemIniFile::ReadBool(std::u16string_view section, std::u16string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TMemIniFile::WriteString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view value) {
  Section* found = findSection(section);
  if (found == nullptr) {
    sections_.push_back(Section{UnicodeString(section), {}});
    found = &sections_.back();
  }
  UnicodeString line(key);
  line += u'=';
  line += value;
  for (auto it = found->lines.rbegin(); it != found->lines.rend(); ++it) {
    if (lineHasKey(*it, key)) {
      *it = std::move(line);
      return;
    }
  }
  found->lines.push_back(std::move(line));
}

std::vector<std::pair<UnicodeString, UnicodeString>> TMemIniFile::ReadSectionValues(
    std::u16string_view section) const {
  std::vector<std::pair<UnicodeString, UnicodeString>> values;
  const Section* found = findSection(section);
  if (found == nullptr) return values;
  for (const UnicodeString& line : found->lines) {
    const std::size_t equals = line.find(u'=');
    if (equals != UnicodeString::npos)
      values.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return values;
}

void TMemIniFile::ReplaceSection(
    std::u16string_view section,
    const std::vector<std::pair<UnicodeString, UnicodeString>>& values) {
  Section* found = findSection(section);
  if (values.empty()) {
    if (found != nullptr) sections_.erase(sections_.begin() + (found - sections_.data()));
    return;
  }
  if (found == nullptr) {
    sections_.push_back(Section{UnicodeString(section), {}});
    found = &sections_.back();
  }
  found->lines.clear();
  for (const auto& [key, value] : values)
    found->lines.push_back(key + u'=' + value);
}

void TMemIniFile::WriteInteger(std::u16string_view section, std::u16string_view key,
                               std::int32_t value) {
  const std::string digits = std::to_string(value);
  WriteString(section, key, UnicodeString(digits.begin(), digits.end()));
}

void TMemIniFile::WriteBool(std::u16string_view section, std::u16string_view key, bool value) {
  WriteString(section, key, value ? u"1" : u"0");
}

UnicodeString TMemIniFile::Text() const {
  UnicodeString text;
  for (const Section& section : sections_) {
    text += u'[';
    text += section.name;
    text += u"]\r\n";
    for (const UnicodeString& line : section.lines) {
      text += line;
      text += u"\r\n";
    }
    text += u"\r\n";
  }
  return text;
}

void TMemIniFile::UpdateFile() const {
  const UnicodeString text = Text();
  std::string bytes;
  switch (encoding_.value_or(TIniEncoding::Ansi)) {
    case TIniEncoding::Utf16LE:
      bytes = std::string(kUtf16LeMark) + encodeUtf16(text, false);
      break;
    case TIniEncoding::Utf16BE:
      bytes = std::string(kUtf16BeMark) + encodeUtf16(text, true);
      break;
    case TIniEncoding::Utf8:
      bytes = std::string(kUtf8Mark) + ToUtf8(text);
      break;
    case TIniEncoding::Ansi:
      // A character without a code in 932 would be lost; UTF-8 with mark keeps it.
      if (std::optional<AnsiString> ansi = EncodeAnsiCodePage(text)) {
        bytes = std::move(*ansi);
      } else {
        bytes = std::string(kUtf8Mark) + ToUtf8(text);
      }
      break;
  }
  WriteFileAtomically(fileName_, bytes);
}

}  // namespace norvalis
