#pragma once

#include <string>
#include <string_view>

// The program's file names cross into src/platform as UTF-8 text (ToUtf8 of the UnicodeString
// the program holds). Each platform hands them to its system calls in the system's own form,
// converted here and nowhere else.
namespace norvalis::platform {

// A file name as the system calls of this platform take it: on Linux the UTF-8 bytes
// themselves (a path is bytes); on Windows UTF-16 for the wide API.
#if defined(_WIN32)
using NativeFileName = std::wstring;
// The separator the system writes between folders; either is read.
inline constexpr char PathDelimiter = '\\';
inline constexpr std::u16string_view PathDelimiters = u"\\/";
#else
using NativeFileName = std::string;
inline constexpr char PathDelimiter = '/';
inline constexpr std::u16string_view PathDelimiters = u"/";
#endif

NativeFileName ToNativeFileName(std::string_view fileName);
// A name the system gave back, as UTF-8.
std::string FromNativeFileName(const NativeFileName& fileName);

}  // namespace norvalis::platform
