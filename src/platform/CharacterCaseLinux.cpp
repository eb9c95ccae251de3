#include "platform/CharacterCase.h"

#include <locale.h>
#include <wctype.h>

namespace norvalis::platform {

namespace {

// The C.UTF-8 character classes give Unicode case mappings without depending on the
// user's locale; without it only ASCII letters fold.
locale_t unicodeCaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

}  // namespace

char16_t LowerCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const locale_t locale = unicodeCaseLocale();
  if (locale == locale_t{}) return c;
  const wint_t lower = towlower_l(static_cast<wint_t>(c), locale);
  return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

}  // namespace norvalis::platform
