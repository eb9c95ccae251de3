#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/CodePage.h"
#include "text/UnicodeString.h"

namespace norvalis::TStringUtility {

// Nothing recognised: decode with the system's ANSI code page.
constexpr std::uint16_t CodePageNone = CodePage::None;
// The system ANSI code page; fixed, since Linux has none.
constexpr std::uint16_t AnsiCodePage = CodePage::Ansi;
// The most leading bytes DetectCodePage examines.
constexpr std::size_t MaxDetectBytes = 102400;

// Failures of the UTF-16 to UTF-8 conversion. Initialisation (1) and the conversion itself
// cannot fail with our own converter; the texts stay for a converter that can.
inline constexpr char16_t MLangInitFailed1[] = u"IEコンポーネントの初期化に失敗しました。(1)";
// Raised for a pair of code pages the converter does not handle.
inline constexpr char16_t MLangInitFailed2[] = u"IEコンポーネントの初期化に失敗しました。(2)";
// Raised when the conversion's buffers cannot be allocated.
inline constexpr char16_t MLangMemoryFailed[] = u"IEコンポーネントのメモリ確保に失敗しました。";
inline constexpr char16_t MLangConversionFailed[] = u"IEコンポーネントによる変換に失敗しました。";

// The code page of a file's content, from its leading bytes.
std::uint16_t DetectCodePage(std::string_view content);
// Detects the encoding and decodes the content to UTF-16; the code page chosen is stored in
// *detected when given.
UnicodeString ConvertToUnicodeString(std::string_view content, std::uint16_t* detected = nullptr);
// Decodes the content with the given code page (marks removed, corrections applied).
UnicodeString ConvertByCodePage(std::string_view content, std::uint16_t codePage);
// True when ConvertByCodePage decodes content cut after LFs as it decodes each piece in turn:
// the code page has no shift state and LF is never part of one of its sequences.
bool ConvertsInPieces(std::uint16_t codePage);
// Appends the decoding of one such piece to out, as ConvertByCodePage decodes it as part of
// the whole; first tells whether the piece opens the content (a mark there is removed). Also
// takes CodePageNone (the ANSI code page, for content without a zero byte).
void AppendConvertedPiece(std::string_view piece, std::uint16_t codePage, bool first,
                          UnicodeString& out);
// Converts bytes between code pages; used for UTF-16 (either byte order) to UTF-8.
AnsiString ConvertCodePageWithMLang(std::string_view content, std::uint16_t from, std::uint16_t to);

bool HasUTF8BOM(std::string_view bytes);
bool HasUTF16LEBOM(std::string_view bytes);
bool HasUTF16BEBOM(std::string_view bytes);

}  // namespace norvalis::TStringUtility
