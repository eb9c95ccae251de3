#include "text/Exception.h"

#include <utility>

#include "platform/SystemError.h"

namespace norvalis {

Exception::Exception(UnicodeString message)
    : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

UnicodeString SystemErrorText(int errnum) {
  return FromUtf8(platform::SystemErrorText(errnum));
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
