#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

#include "platform/WindowsSupport.h"

namespace norvalis::platform {

namespace {

// The system error a <cerrno> number stands for here, the inverse of ErrnoOf where it has one;
// 0 where Windows has no such error.
DWORD SystemCodeOf(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    case EIO:
      return ERROR_IO_DEVICE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EFBIG:
      return ERROR_FILE_TOO_LARGE;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case EBUSY:
      return ERROR_BUSY;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    default:
      return 0;
  }
}

// The system's message for code in language, without its line end; empty when it has none.
std::string SystemMessage(DWORD code, LANGID language) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0 || text == nullptr) return {};
  std::wstring_view view(text, n);
  while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' '))
    view.remove_suffix(1);
  std::string utf8 = windows::Narrow(view);
  LocalFree(text);
  return utf8;
}

}  // namespace

std::string SystemErrorText(int error) {
  // The C runtime's texts are English only; the system's own messages come in Japanese, the
  // program's language, then in the user's, as the Linux texts come in the user's language.
  if (const DWORD code = SystemCodeOf(error); code != 0) {
    for (LANGID language : {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)}) {
      std::string text = SystemMessage(code, language);
      if (!text.empty()) return text;
    }
  }
  char buffer[256] = {};
  if (strerror_s(buffer, sizeof buffer, error) != 0) return {};
  return buffer;
}

}  // namespace norvalis::platform
