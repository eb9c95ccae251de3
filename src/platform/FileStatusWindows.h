#pragma once

#include <windows.h>

#include <string_view>

#include "platform/FileStatus.h"

// Internal to the Windows implementations of this room.
namespace norvalis::platform::windows {

// Opens what the path names with the given access, sharing it with every other program; the
// standard input by its name (the process's own handle, not to be closed: Wine's duplicates
// of it do not read). INVALID_HANDLE_VALUE on failure.
HANDLE OpenPath(std::string_view path, DWORD access);
// Whether the path is the name of the standard input.
bool IsStandardInput(std::string_view path);

// The status of an open handle; the error number (0 on success).
int StatusOfHandle(HANDLE handle, FileStatus& status);

}  // namespace norvalis::platform::windows
