#include "text/StringUtility.h"

// Placeholder until the decoder lands: UTF-8 only.
namespace norvalis::TStringUtility {
std::uint16_t DetectCodePage(std::string_view) { return 65001; }
UnicodeString ConvertToUnicodeString(std::string_view content, std::uint16_t*) {
  return FromUtf8(content);
}
}  // namespace norvalis::TStringUtility
