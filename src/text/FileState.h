#pragma once

#include <cstdint>

#include "text/UnicodeString.h"

namespace norvalis {

// How the file on disk compares with what was read from it.
enum class FileState {
  Same,     // as it was read
  Changed,  // its bytes under the reader, or the file its name names, are no longer what was read
  Gone,     // its name names nothing now, but what was read is still held whole
};

// What can be said of how a file changed since it was read.
struct FileChange {
  FileState state = FileState::Same;
  bool pageLost = false;  // part of what is mapped was lost (the file was cut under it)
  bool resized = false;
  bool modified = false;  // its modification time differs
  bool replaced = false;  // its name names another file now
  std::uint64_t sizeRead = 0;
  std::uint64_t sizeNow = 0;
};

// The text a changed file is reported with, and the one for a file that went.
inline constexpr char16_t FileChangedText[] = u"CSVファイルがディスク上で変更されました。";
inline constexpr char16_t FileGoneText[] =
    u"CSVファイルはディスク上で削除されたか、名前が変わりました。読み込んだ内容で続けます。";

// One sentence per fact of the change ("大きさが 1,000 バイトから 0 バイトになりました。"), each
// on its own line; empty when nothing changed.
UnicodeString FileChangeDetails(const FileChange& change);
// The whole report: FileChangedText or FileGoneText, then the details on the next lines; empty
// for Same.
UnicodeString FileChangeText(const FileChange& change);

}  // namespace norvalis
