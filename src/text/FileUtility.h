#pragma once

#include "text/UnicodeString.h"

namespace norvalis::TFileUtility {

// Reads the whole file as raw bytes. Raises EFOpenError when it cannot be opened, and
// Exception with the memory message when the buffer cannot be had.
AnsiString LoadFileToAnsiString(const UnicodeString& fileName);

}  // namespace norvalis::TFileUtility
