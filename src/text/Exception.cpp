#include "text/Exception.h"

#include <cstring>
#include <utility>

namespace norvalis {

Exception::Exception(UnicodeString message)
    : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

UnicodeString SystemErrorText(int errnum) {
  char buffer[256] = {};
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(errnum, buffer, sizeof buffer);
  return FromUtf8(text != nullptr ? text : buffer);
}

EFOpenError EFOpenError::ForPath(const UnicodeString& path, int errnum) {
  return EFOpenError(Format(u"ファイル %s は開けません。 %s ",
                            {path, std::u16string_view(SystemErrorText(errnum))}),
                     errnum);
}

EFCreateError EFCreateError::ForPath(const UnicodeString& path, int errnum) {
  return EFCreateError(u"ファイル \"" + path + u"\" を作成できません。" + SystemErrorText(errnum));
}

}  // namespace norvalis
