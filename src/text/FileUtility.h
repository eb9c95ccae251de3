#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "text/UnicodeString.h"

namespace norvalis::TFileUtility {

// The message raised when a file's bytes cannot be held in memory.
inline constexpr char16_t MemoryMessage[] =
    u"ファイルの読み込みに必要なメモリを確保できませんでした。\nbad allocation";

// A file open for reading: its descriptor, closed with the object, and what fstat said.
struct OpenedFile {
  int fd = -1;
  struct stat info {};

  OpenedFile() = default;
  ~OpenedFile();
  OpenedFile(OpenedFile&& other) noexcept;
  OpenedFile& operator=(OpenedFile&&) = delete;
};

// Opens the file without blocking on a FIFO; raises EFOpenError (a folder as EISDIR).
OpenedFile OpenForReading(const UnicodeString& fileName);

// Reads the whole file as raw bytes. Raises EFOpenError when it cannot be opened, and
// Exception with the memory message when the buffer cannot be had.
AnsiString LoadFileToAnsiString(const UnicodeString& fileName);
// Reads and decodes the file as TStringUtility::ConvertToUnicodeString(LoadFileToAnsiString())
// does, with the same exceptions; for most code pages only a piece of the bytes is held at a
// time. The code page chosen is stored in *detected when given.
UnicodeString LoadFileToUnicodeString(const UnicodeString& fileName,
                                      std::uint16_t* detected = nullptr);

}  // namespace norvalis::TFileUtility
