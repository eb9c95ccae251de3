#include "platform/CharacterCase.h"

#include <windows.h>

namespace norvalis::platform {

char16_t LowerCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  // The invariant mapping of the system, the same for every user's language.
  wchar_t unit = static_cast<wchar_t>(c);
  wchar_t lower = unit;
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &unit, 1, &lower, 1, nullptr, nullptr,
                    0) != 1) {
    return c;
  }
  return static_cast<char16_t>(lower);
}

}  // namespace norvalis::platform
