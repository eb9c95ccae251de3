#include "platform/Folders.h"

#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include "WindowsSupport.h"

namespace norvalis::platform {

namespace {

std::string knownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) {
    folder = windows::Narrow(path);
  }
  CoTaskMemFree(path);
  return folder;
}

}  // namespace

std::string SystemShellFolderPath(int csidl) {
  switch (csidl) {
    case 0x1A:  // CSIDL_APPDATA
      return knownFolder(FOLDERID_RoamingAppData);
    case 0x00:  // CSIDL_DESKTOP
    case 0x10:  // CSIDL_DESKTOPDIRECTORY
      return knownFolder(FOLDERID_Desktop);
    case 0x02:
      return knownFolder(FOLDERID_Programs);
    case 0x05:
      return knownFolder(FOLDERID_Documents);
    case 0x07:
      return knownFolder(FOLDERID_Startup);
    case 0x0B:
      return knownFolder(FOLDERID_StartMenu);
    case 0x14:
      return knownFolder(FOLDERID_Fonts);
    case 0x15:
      return knownFolder(FOLDERID_Templates);
    case 0x20:
      return knownFolder(FOLDERID_InternetCache);
    default: {
      // The rest by their CSIDL, as the shell still answers for them.
      wchar_t path[MAX_PATH] = {};
      if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
      return windows::Narrow(path);
    }
  }
}

std::string StateFolder() {
  return knownFolder(FOLDERID_LocalAppData);
}

std::vector<std::string> HelpFolders(std::string_view executableFolder) {
  // An installation puts the help beside the program, as a build tree does.
  return {std::string(executableFolder) + "\\help"};
}

}  // namespace norvalis::platform
