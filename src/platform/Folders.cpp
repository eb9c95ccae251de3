#include "platform/Folders.h"

#include <atomic>

namespace norvalis::platform {

namespace {

std::atomic<FoldersTesting::ShellFolderFunction> shellFolderFunction{nullptr};

}  // namespace

std::string ShellFolderPath(int csidl) {
  const FoldersTesting::ShellFolderFunction function = shellFolderFunction.load();
  return function != nullptr ? function(csidl) : SystemShellFolderPath(csidl);
}

void FoldersTesting::SetShellFolderFunction(ShellFolderFunction function) {
  shellFolderFunction.store(function);
}

}  // namespace norvalis::platform
