#pragma once

#include "text/UnicodeString.h"

namespace norvalis::TSpecialFolder {

// The shell folder identifier of a folder kind 0 to 29 (kinds in alphabetical order of the
// identifier names; 1 is the per-user application data). Raises Exception with
// "指定されたコードが見つかりません。" for any other kind.
int SpecialFolderToCsidl(int kind);

// The folder's path on this system (kind 1: $XDG_CONFIG_HOME, else ~/.config; others their
// XDG counterparts), or the empty text when it has none. Raises like SpecialFolderToCsidl.
UnicodeString GetSpecialFolderPath(int kind);

}  // namespace norvalis::TSpecialFolder
