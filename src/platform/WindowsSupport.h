#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Internal to the Windows implementations of this room.
namespace norvalis::platform::windows {

// UTF-8 to UTF-16 and back; ill-formed input becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The <cerrno> number standing for a GetLastError code.
int ErrnoOf(DWORD error);

// A FILETIME as nanoseconds since the Unix epoch.
std::int64_t UnixNanoseconds(const FILETIME& time);

}  // namespace norvalis::platform::windows
