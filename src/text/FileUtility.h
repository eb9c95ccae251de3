#pragma once

#include <cstdint>

#include "text/UnicodeString.h"

namespace norvalis::TFileUtility {

// The text of EOutOfMemory when a file's content cannot be held.
inline constexpr char16_t MemoryMessage[] =
    u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation";

// Reads the whole file as raw bytes. Raises EFOpenError when it cannot be opened, and
// Exception with the memory message when the buffer cannot be had.
AnsiString LoadFileToAnsiString(const UnicodeString& fileName);
// Reads and decodes the file as TStringUtility::ConvertToUnicodeString(LoadFileToAnsiString())
// does, with the same exceptions; for most code pages only a piece of the bytes is held at a
// time. The code page chosen is stored in *detected when given.
UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName,
                                      std::uint16_t* detected = nullptr);
// The same, decoded with codePage instead of the detected one (0: detected), for a user who
// knows better than the guess; the code page used is stored in *used when given.
UnicodeString LoadFileToUnicodeStringAs(const UnicodeString& fileName, std::uint16_t codePage,
                                        std::uint16_t* used = nullptr);

}  // namespace norvalis::TFileUtility
