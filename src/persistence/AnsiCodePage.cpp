#include "persistence/AnsiCodePage.h"

#include <string>

#include "text/CodePage.h"
#include "text/Iconv.h"
#include "text/MECSUtils.h"

namespace norvalis {

namespace {

std::string toUtf16LeBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace

std::optional<AnsiString> EncodeAnsiCodePage(std::u16string_view text) {
  Iconv toCp932("CP932", "UTF-16LE");
  const std::string input = toUtf16LeBytes(text);
  // Every UTF-16 unit that fits takes at most two bytes.
  std::optional<AnsiString> output = toCp932.Convert(input, input.size() + 4);
  if (!output) return std::nullopt;
  // glibc maps some characters many-to-one; only codes that read back unchanged count.
  if (MECSUtils::AnsiToUTF16(*output, CodePage::Ansi) != text) return std::nullopt;
  return output;
}

}  // namespace norvalis
