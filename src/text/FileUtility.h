#pragma once

#include <cstdint>

#include "text/UnicodeString.h"

namespace norvalis::TFileUtility {

// Reads the whole file as raw bytes. Raises EFOpenError when it cannot be opened, and
// Exception with the memory message when the buffer cannot be had.
AnsiString LoadFileToAnsiString(const UnicodeString& fileName);
// Reads and decodes the file as TStringUtility::ConvertToUnicodeString(LoadFileToAnsiString())
// does, with the same exceptions; for most code pages only a piece of the bytes is held at a
// time. The code page chosen is stored in *detected when given.
UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName,
                                      std::uint16_t* detected = nullptr);

}  // namespace norvalis::TFileUtility
