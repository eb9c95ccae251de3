// Decoding: any bytes decode under every code page; the detected decoding is the decoding
// by the detected code page; UTF-16 input gives well-formed UTF-16.

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "FuzzInput.h"
#include "text/CodePage.h"
#include "text/StringUtility.h"

using namespace norvalis;

namespace {

// Every code page named in the program, and some it does not know (0, 437, 28591).
constexpr std::uint16_t CodePages[] = {CodePage::ShiftJis,
                                       CodePage::EucJp,
                                       CodePage::Iso2022Jp,
                                       CodePage::Iso2022JpKana,
                                       CodePage::Iso2022JpSo,
                                       CodePage::EucJpAlt,
                                       CodePage::Utf16LE,
                                       CodePage::Utf16BE,
                                       CodePage::Utf8,
                                       CodePage::Utf32LE,
                                       CodePage::Utf32BE,
                                       CodePage::Utf7,
                                       CodePage::None,
                                       0,
                                       437,
                                       28591};

bool isWellFormed(const UnicodeString& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::AsBytes(data, size);
  std::uint16_t detected = 0;
  const UnicodeString text = TStringUtility::ConvertToUnicodeString(bytes, &detected);
  fuzz::Require(text == TStringUtility::ConvertByCodePage(bytes, detected),
                "detected decoding differs from decoding by the detected code page");

  if (size == 0) return 0;
  const std::uint16_t codePage = CodePages[data[0] % std::size(CodePages)];
  const std::string_view rest = bytes.substr(1);
  const UnicodeString decoded = TStringUtility::ConvertByCodePage(rest, codePage);
  if (codePage == CodePage::Utf16LE || codePage == CodePage::Utf16BE) {
    fuzz::Require(isWellFormed(decoded), "lone surrogate from UTF-16");
    fuzz::Require(decoded.size() <= rest.size() / 2 + 1, "UTF-16 grew");
    // The decoding removes the mark before it converts; the conversion itself keeps it.
    std::string_view unmarked = rest;
    if (codePage == CodePage::Utf16LE ? TStringUtility::HasUTF16LEBOM(unmarked)
                                      : TStringUtility::HasUTF16BEBOM(unmarked)) {
      unmarked.remove_prefix(2);
    }
    const AnsiString utf8 =
        TStringUtility::ConvertCodePageWithMLang(unmarked, codePage, CodePage::Utf8);
    fuzz::Require(FromUtf8(utf8) == decoded, "UTF-8 detour differs from direct decoding");
  }
  return 0;
}
