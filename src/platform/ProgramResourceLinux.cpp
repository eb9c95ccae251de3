#include "platform/ProgramResource.h"

namespace norvalis::platform {

std::optional<std::vector<std::uint8_t>> ProgramVersionResource() {
  return std::nullopt;
}

}  // namespace norvalis::platform
