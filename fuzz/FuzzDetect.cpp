// Encoding detection: any bytes give one of the known code pages, the same one each time,
// and the detailed checks agree with it.

#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "text/CodePage.h"
#include "text/EncodeDetect.h"
#include "text/StringUtility.h"

using namespace norvalis;

namespace {

bool isKnownCodePage(std::uint16_t codePage) {
  switch (codePage) {
    case CodePage::ShiftJis:
    case CodePage::EucJp:
    case CodePage::Iso2022Jp:
    case CodePage::Utf16LE:
    case CodePage::Utf16BE:
    case CodePage::Utf8:
    case CodePage::Utf32LE:
    case CodePage::Utf32BE:
    case CodePage::None:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::AsBytes(data, size);
  const std::uint16_t codePage = TStringUtility::DetectCodePage(bytes);
  fuzz::Require(isKnownCodePage(codePage), "unknown code page");
  fuzz::Require(TStringUtility::DetectCodePage(bytes) == codePage, "detection not repeatable");

  // Inputs stay below the detection limit, so the verdict on all bytes is the code page.
  const int verdict = EncodeDetect::CheckEncoding(bytes);
  fuzz::Require(verdict >= EncodeDetect::vNone && verdict <= EncodeDetect::vUTF7, "verdict");
  fuzz::Require((verdict == EncodeDetect::vNone || verdict == EncodeDetect::vUTF7) ==
                    (codePage == TStringUtility::CodePageNone),
                "nothing recognised but a code page chosen");

  // Every subset of checks switched off, chosen by the first byte.
  const auto ignore = static_cast<EncodeDetect::TIgnoreEncodes>(size > 0 ? data[0] & 0x3F : 0);
  const int partial = EncodeDetect::CheckEncoding(bytes, ignore);
  fuzz::Require(partial >= EncodeDetect::vNone && partial <= EncodeDetect::vUTF7, "verdict");
  std::int32_t score = 0;
  EncodeDetect::IsSJIS(bytes, score, ignore);
  EncodeDetect::IsEUC(bytes, score, ignore);
  EncodeDetect::IsUTF8(bytes, score, ignore);
  EncodeDetect::IsUTF7(bytes, score, ignore);
  EncodeDetect::IsJIS(bytes, ignore);
  EncodeDetect::BOMCheck(bytes, ignore);
  return 0;
}
