#include "platform/FileName.h"

namespace norvalis::platform {

NativeFileName ToNativeFileName(std::string_view fileName) {
  return NativeFileName(fileName);
}

}  // namespace norvalis::platform
