#pragma once

#include <filesystem>
#include <string>

namespace norvalis::crash {

// Writes text to path, creating the folder (private to the user); false when that fails.
bool WriteLogFile(const std::filesystem::path& path, const std::string& text);

}  // namespace norvalis::crash
