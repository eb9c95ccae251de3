#include "platform/SystemError.h"

#include <cstring>

namespace norvalis::platform {

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  if (strerror_s(buffer, sizeof buffer, error) != 0) return {};
  return buffer;
}

}  // namespace norvalis::platform
