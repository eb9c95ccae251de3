#include "persistence/AnsiCodePage.h"

#include "text/CodePage.h"
#include "text/MECSUtils.h"

namespace norvalis {

std::optional<AnsiString> EncodeAnsiCodePage(std::u16string_view text) {
  return MECSUtils::UTF16ToAnsi(text, CodePage::Ansi);
}

}  // namespace norvalis
