#pragma once

#include <cstdint>

namespace norvalis::platform {

// The memory the machine has; 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes();
// The most memory this process has held at once so far.
std::uint64_t PeakResidentBytes();

}  // namespace norvalis::platform
