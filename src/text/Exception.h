#pragma once

#include <exception>
#include <string>
#include <utility>

#include "text/UnicodeString.h"

namespace norvalis {

// Every failure below the window: a Japanese message, as UTF-16 and as UTF-8 what().
class Exception : public std::exception {
 public:
  explicit Exception(UnicodeString message);
  const char* what() const noexcept override { return utf8_.c_str(); }
  const UnicodeString& Message() const noexcept { return message_; }

 private:
  UnicodeString message_;
  std::string utf8_;
};

// A file that cannot be opened for reading.
class EFOpenError : public Exception {
 public:
  explicit EFOpenError(UnicodeString message, int errnum = 0)
      : Exception(std::move(message)), errnum_(errnum) {}
  // "ファイル %s は開けません。 %s " with the path and the system text of errnum.
  static EFOpenError ForPath(const UnicodeString& path, int errnum);
  // The errno value behind the failure (0 when unknown), so callers can tell a missing file
  // from a folder without parsing the text.
  int ErrorNumber() const noexcept { return errnum_; }

 private:
  int errnum_;
};

// Memory for a file's content or its decoding could not be had.
class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be created or written.
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
  // ファイル "path" を作成できません。 followed by the system text of errnum.
  static EFCreateError ForPath(const UnicodeString& path, int errnum);
};

// A read that stopped because its cancel flag was set; it has no message to show.
class ECancelled : public Exception {
 public:
  ECancelled() : Exception(UnicodeString()) {}
};

// A text that does not convert to the value asked for.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// The system's text for an errno value, in the current locale.
UnicodeString SystemErrorText(int errnum);

}  // namespace norvalis
