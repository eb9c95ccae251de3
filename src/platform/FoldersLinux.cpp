#include "platform/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace norvalis::platform {

namespace {

constexpr int kCsidlDesktop = 0x00;
constexpr int kCsidlPrograms = 0x02;
constexpr int kCsidlPersonal = 0x05;
constexpr int kCsidlStartup = 0x07;
constexpr int kCsidlDesktopDirectory = 0x10;
constexpr int kCsidlFonts = 0x14;
constexpr int kCsidlTemplates = 0x15;
constexpr int kCsidlAppData = 0x1A;
constexpr int kCsidlInternetCache = 0x20;

// An absolute path from the environment; XDG ignores relative ones.
std::string absoluteEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

std::string homeFolder() {
  std::string home = absoluteEnvironment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    if (entry->pw_dir[0] == '/') return entry->pw_dir;
  }
  return {};
}

std::string xdgBase(const char* variable, std::string_view fallbackUnderHome) {
  std::string folder = absoluteEnvironment(variable);
  if (!folder.empty()) return folder;
  const std::string home = homeFolder();
  if (home.empty()) return {};
  return home + "/" + std::string(fallbackUnderHome);
}

std::string configHome() {
  return xdgBase("XDG_CONFIG_HOME", ".config");
}

// A folder of user-dirs.dirs, e.g. XDG_DESKTOP_DIR="$HOME/Desktop"; empty when not set.
std::string userDir(std::string_view name) {
  const std::string config = configHome();
  if (config.empty()) return {};
  std::ifstream file(config + "/user-dirs.dirs");
  const std::string prefix = "XDG_" + std::string(name) + "_DIR=\"";
  std::string line;
  std::string found;
  while (std::getline(file, line)) {
    if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"') {
      continue;
    }
    std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
      const std::string home = homeFolder();
      if (home.empty()) continue;
      found = home + value.substr(5);
    } else if (!value.empty() && value[0] == '/') {
      found = value;
    }
  }
  return found;
}

std::string withFallbackUnderHome(std::string folder, std::string_view underHome) {
  if (!folder.empty()) return folder;
  const std::string home = homeFolder();
  if (home.empty()) return {};
  return underHome.empty() ? home : home + "/" + std::string(underHome);
}

std::string folderOfCsidl(int csidl) {
  switch (csidl) {
    case kCsidlAppData:
      return configHome();
    case kCsidlDesktop:
    case kCsidlDesktopDirectory:
      return withFallbackUnderHome(userDir("DESKTOP"), "Desktop");
    case kCsidlPersonal:
      return withFallbackUnderHome(userDir("DOCUMENTS"), "");
    case kCsidlTemplates:
      return userDir("TEMPLATES");
    case kCsidlFonts: {
      const std::string data = xdgBase("XDG_DATA_HOME", ".local/share");
      return data.empty() ? data : data + "/fonts";
    }
    case kCsidlPrograms: {
      const std::string data = xdgBase("XDG_DATA_HOME", ".local/share");
      return data.empty() ? data : data + "/applications";
    }
    case kCsidlStartup: {
      const std::string config = configHome();
      return config.empty() ? config : config + "/autostart";
    }
    case kCsidlInternetCache:
      return xdgBase("XDG_CACHE_HOME", ".cache");
    default:
      return {};
  }
}

}  // namespace

std::string SystemShellFolderPath(int csidl) {
  return folderOfCsidl(csidl);
}

std::string StateFolder() {
  return xdgBase("XDG_STATE_HOME", ".local/state");
}

std::vector<std::string> HelpFolders(std::string_view executableFolder) {
  const std::string folder(executableFolder);
  return {folder + "/help", folder + "/../share/norvalis/help"};
}

}  // namespace norvalis::platform
