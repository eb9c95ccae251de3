#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace norvalis::platform {

// The version resource the system keeps in the running program's file (VS_VERSIONINFO, as
// GetFileVersionInfoW gives it, cut to its own length). Nothing where the system's program
// files carry no such resource (Linux): the program then reads the block compiled into it.
// Empty when the system has resources but this program's cannot be read.
std::optional<std::vector<std::uint8_t>> ProgramVersionResource();

}  // namespace norvalis::platform
