#pragma once

#include <windows.h>

#include "platform/FileStatus.h"

// Internal to the Windows implementations of this room.
namespace norvalis::platform::windows {

// The status of an open handle; the error number (0 on success).
int StatusOfHandle(HANDLE handle, FileStatus& status);

}  // namespace norvalis::platform::windows
