#pragma once

#include <string>
#include <string_view>

// The program's file names cross into src/platform as UTF-8 text (ToUtf8 of the UnicodeString
// the program holds). Each platform hands them to its system calls in the system's own form,
// converted here and nowhere else.
namespace norvalis::platform {

// A file name as the system calls of this platform take it: on Linux the UTF-8 bytes
// themselves (a path is bytes); on Windows UTF-16 for the wide API.
using NativeFileName = std::string;

NativeFileName ToNativeFileName(std::string_view fileName);

}  // namespace norvalis::platform
