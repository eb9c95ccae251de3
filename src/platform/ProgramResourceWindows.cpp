#include "platform/ProgramResource.h"

#include <windows.h>

#include <string>

namespace norvalis::platform {

std::optional<std::vector<std::uint8_t>> ProgramVersionResource() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::vector<std::uint8_t>{};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size < 2) return std::vector<std::uint8_t>{};
  std::vector<std::uint8_t> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::vector<std::uint8_t>{};
  // Windows appends room of its own after the block (for the ANSI query); the block's first
  // word is its length.
  const std::size_t length = data[0] | static_cast<std::size_t>(data[1]) << 8;
  if (length > data.size()) return std::vector<std::uint8_t>{};
  data.resize(length);
  return data;
}

}  // namespace norvalis::platform
