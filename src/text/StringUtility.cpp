#include "text/StringUtility.h"

#include <algorithm>
#include <new>

#include "text/CodePage.h"
#include "text/EncodeDetect.h"
#include "text/Exception.h"
#include "text/MECSUtils.h"

namespace norvalis::TStringUtility {

namespace {

using namespace std::string_view_literals;

using CodePage::Utf16BE;
using CodePage::Utf16LE;
using CodePage::Utf32BE;
using CodePage::Utf32LE;
using CodePage::Utf8;

// The bytes before the first zero byte, decoded with the system ANSI code page.
UnicodeString decodeAnsiUpToZero(std::string_view bytes) {
  return MECSUtils::AnsiToUTF16(bytes.substr(0, bytes.find('\0')), AnsiCodePage);
}

// The corrections that follow a decoding from the code page.
MECSUtils::MappingFix mappingFixFor(std::uint16_t codePage) {
  if (codePage == CodePage::ShiftJis) return MECSUtils::MappingFix::CP932;
  if (codePage == CodePage::EucJp || codePage == CodePage::EucJpAlt ||
      codePage == CodePage::Iso2022Jp || codePage == CodePage::Iso2022JpKana ||
      codePage == CodePage::Iso2022JpSo) {
    return MECSUtils::MappingFix::JISX0208;
  }
  return MECSUtils::MappingFix::None;
}

bool isHighSurrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// Walks UTF-16 code units up to the first U+0000; a cut-off last byte is one bad unit.
// onChar gets a code point (lone surrogates already replaced by U+FFFD).
template <class OnChar>
void walkUtf16(std::string_view bytes, bool bigEndian, OnChar onChar) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t units = bytes.size() / 2;
  auto unitAt = [&](std::size_t k) {
    const unsigned a = p[2 * k];
    const unsigned b = p[2 * k + 1];
    return static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  for (std::size_t k = 0; k < units; ++k) {
    const char16_t u = unitAt(k);
    if (u == 0) return;
    if (isHighSurrogate(u) && k + 1 < units && isLowSurrogate(unitAt(k + 1))) {
      onChar(0x10000 + ((char32_t{u} - 0xD800) << 10) + (unitAt(k + 1) - 0xDC00));
      ++k;
    } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
      onChar(0xFFFD);
    } else {
      onChar(u);
    }
  }
  if (bytes.size() % 2 != 0) onChar(0xFFFD);
}

// UTF-16 straight to the text that the UTF-8 detour would give: same replacement, same cut
// at U+0000, without holding the UTF-8 bytes as well.
UnicodeString decodeUtf16(std::string_view bytes, bool bigEndian) {
  try {
    UnicodeString out;
    out.reserve(bytes.size() / 2 + 1);
    walkUtf16(bytes, bigEndian, [&out](char32_t cp) { AppendUtf16(out, cp); });
    return out;
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(MLangMemoryFailed);
  }
}

}  // namespace

std::uint16_t DetectCodePage(std::string_view content) {
  std::size_t n = std::min(content.size(), MaxDetectBytes);
  // Never cut a UTF-8 character: step back over continuation bytes at the limit.
  for (int k = 0; k < 3 && n < content.size() && n > 0; ++k) {
    const auto b = static_cast<unsigned char>(content[n]);
    if (b < 0x80 || b > 0xBF) break;
    --n;
  }
  switch (EncodeDetect::CheckEncoding(content.substr(0, n))) {
    case EncodeDetect::vSJIS:
      return CodePage::ShiftJis;
    case EncodeDetect::vEUC:
      return CodePage::EucJp;
    case EncodeDetect::vJIS:
      return CodePage::Iso2022Jp;
    case EncodeDetect::vUTF16LE:
      return Utf16LE;
    case EncodeDetect::vUTF16BE:
      return Utf16BE;
    case EncodeDetect::vUTF8:
    case EncodeDetect::vUTF8BOM:
      return Utf8;
    case EncodeDetect::vUTF32LE:
      return Utf32LE;
    case EncodeDetect::vUTF32BE:
      return Utf32BE;
    default:
      return CodePageNone;
  }
}

UnicodeString ConvertToUnicodeString(std::string_view content, std::uint16_t* detected) {
  const std::uint16_t cp = DetectCodePage(content);
  if (detected != nullptr) *detected = cp;
  if (cp == CodePageNone) return decodeAnsiUpToZero(content);
  return ConvertByCodePage(content, cp);
}

UnicodeString ConvertByCodePage(std::string_view content, std::uint16_t codePage) {
  std::string_view s = content;
  if (codePage == Utf8 && HasUTF8BOM(s)) {
    s.remove_prefix(3);
  } else if (codePage == Utf16LE || codePage == Utf16BE) {
    if ((codePage == Utf16LE && HasUTF16LEBOM(s)) || (codePage == Utf16BE && HasUTF16BEBOM(s))) {
      s.remove_prefix(2);
    }
    return decodeUtf16(s, codePage == Utf16BE);
  } else if ((codePage == Utf32LE && s.starts_with("\xFF\xFE\x00\x00"sv)) ||
             (codePage == Utf32BE && s.starts_with("\x00\x00\xFE\xFF"sv))) {
    // The mark is no content, as with UTF-8 and UTF-16.
    s.remove_prefix(4);
  }
  if (codePage == CodePageNone) return decodeAnsiUpToZero(s);

  UnicodeString text;
  text.reserve(s.size());
  MECSUtils::AppendAnsiToUTF16(s, codePage, mappingFixFor(codePage), text);
  return text;
}

bool ConvertsInPieces(std::uint16_t codePage) {
  return codePage == CodePage::ShiftJis || codePage == CodePage::EucJp ||
         codePage == CodePage::EucJpAlt || codePage == Utf8;
}

void AppendConvertedPiece(std::string_view piece, std::uint16_t codePage, bool first,
                          UnicodeString& out) {
  if (first && codePage == Utf8 && HasUTF8BOM(piece)) piece.remove_prefix(3);
  if (codePage == CodePageNone) {
    MECSUtils::AppendAnsiToUTF16(piece, AnsiCodePage, MECSUtils::MappingFix::None, out);
    return;
  }
  MECSUtils::AppendAnsiToUTF16(piece, codePage, mappingFixFor(codePage), out);
}

AnsiString ConvertCodePageWithMLang(std::string_view content, std::uint16_t from,
                                    std::uint16_t to) {
  if (from == to) return AnsiString(content);
  std::string_view s = content;
  if (from == Utf8 && HasUTF8BOM(s)) s.remove_prefix(3);
  // The only conversions this program asks for: UTF-16 to UTF-8.
  if ((from != Utf16LE && from != Utf16BE) || to != Utf8) throw Exception(MLangInitFailed2);
  try {
    AnsiString out;
    // At most 3 bytes per UTF-16 code unit, and 3 for a cut-off last byte.
    out.reserve(s.size() / 2 * 3 + 3);
    walkUtf16(s, from == Utf16BE, [&out](char32_t cp) { AppendUtf8(out, cp); });
    return out;
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(MLangMemoryFailed);
  }
}

bool HasUTF8BOM(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF"sv);
}
bool HasUTF16LEBOM(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE"sv);
}
bool HasUTF16BEBOM(std::string_view bytes) {
  return bytes.starts_with("\xFE\xFF"sv);
}

}  // namespace norvalis::TStringUtility
