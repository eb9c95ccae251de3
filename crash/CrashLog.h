#pragma once

#include <filesystem>
#include <string>

#include "Handover.h"

namespace norvalis::crash {

// Norvalis/crash in the user's state folder: $XDG_STATE_HOME/Norvalis/crash, or
// ~/.local/state/Norvalis/crash when it is unset or relative.
std::filesystem::path CrashLogFolder();

// The log's path without extension: "<program>-<date>-<time>-<pid>" in the log folder.
std::filesystem::path CrashLogStem(const Handover& handover, const std::string& executable);

}  // namespace norvalis::crash
