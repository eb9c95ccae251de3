#include "platform/FileName.h"

namespace norvalis::platform {

NativeFileName ToNativeFileName(std::string_view fileName) {
  return NativeFileName(fileName);
}

std::string FromNativeFileName(const NativeFileName& fileName) {
  return fileName;
}

}  // namespace norvalis::platform
