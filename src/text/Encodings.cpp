#include "text/Encodings.h"

#include <algorithm>
#include <array>

#include "text/StringUtility.h"

namespace norvalis::Encodings {

namespace {

constexpr std::array<Choice, 9> ChoiceList = {{
    {ShiftJis, u"Shift_JIS"},
    {EucJp, u"EUC-JP"},
    {Iso2022Jp, u"ISO-2022-JP"},
    {Utf8, u"UTF-8"},
    {Utf16LE, u"UTF-16 LE"},
    {Utf16BE, u"UTF-16 BE"},
    {Utf32LE, u"UTF-32 LE"},
    {Utf32BE, u"UTF-32 BE"},
    {Utf7, u"UTF-7"},
}};

}  // namespace

std::span<const Choice> Choices() {
  return ChoiceList;
}

bool IsChoice(std::uint16_t codePage) {
  return std::any_of(ChoiceList.begin(), ChoiceList.end(),
                     [codePage](const Choice& c) { return c.codePage == codePage; });
}

UnicodeString DisplayName(std::uint16_t codePage, std::string_view leadingBytes) {
  // Nothing recognised is decoded with the ANSI code page, so that is what the cells are.
  if (codePage == TStringUtility::CodePageNone) codePage = TStringUtility::AnsiCodePage;
  if (codePage == Utf8 && TStringUtility::HasUTF8BOM(leadingBytes)) return u"UTF-8 (BOM)";
  for (const Choice& c : ChoiceList) {
    if (c.codePage == codePage) return UnicodeString(c.name);
  }
  return Format(u"コードページ %d", {static_cast<long long>(codePage)});
}

}  // namespace norvalis::Encodings
