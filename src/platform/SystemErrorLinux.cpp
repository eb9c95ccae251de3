#include "platform/SystemError.h"

#include <cstring>

namespace norvalis::platform {

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return text != nullptr ? text : buffer;
}

}  // namespace norvalis::platform
