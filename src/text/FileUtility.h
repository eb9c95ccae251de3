#pragma once

#include <atomic>
#include <cstdint>

#include "platform/File.h"
#include "text/UnicodeString.h"

namespace norvalis::TFileUtility {

// The message raised when a file's bytes cannot be held in memory.
inline constexpr char16_t MemoryMessage[] =
    u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation";

// Opens the file for reading without waiting for a FIFO's writer; raises EFOpenError (a folder
// as EISDIR).
platform::File OpenForReading(const UnicodeString& fileName);

// The first size bytes of an open regular file; past its end (it shrank meanwhile) the rest is
// zeros. Raises EFOpenError when a read fails and Exception with the memory message when the
// buffer cannot be had.
AnsiString ReadContent(const platform::File& file, const UnicodeString& fileName,
                       std::uint64_t size);
// Everything an open file gives until it ends: what a pipe, a FIFO or a device holds (waiting
// for it as cat waits), or a regular file that tells no size. Raises as ReadContent does, with
// the memory message also when it outgrows the machine's memory, and ECancelled soon after
// *cancel becomes true.
AnsiString ReadToEnd(const platform::File& file, const UnicodeString& fileName,
                     const std::atomic<bool>* cancel = nullptr);

// Reads the whole file as raw bytes. Raises EFOpenError when it cannot be opened, and
// Exception with the memory message when the buffer cannot be had.
AnsiString LoadFileToAnsiString(const UnicodeString& fileName);
// Reads and decodes the file as TStringUtility::ConvertToUnicodeString(LoadFileToAnsiString())
// does, with the same exceptions; for most code pages only a piece of the bytes is held at a
// time. The code page chosen is stored in *detected when given.
UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName,
                                      std::uint16_t* detected = nullptr);

}  // namespace norvalis::TFileUtility
