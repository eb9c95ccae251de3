#include "persistence/SpecialFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "text/Exception.h"

namespace norvalis::TSpecialFolder {

namespace {

constexpr std::array<int, 30> kCsidlOfKind = {
    0x1D,  // 0 CSIDL_ALTSTARTUP
    0x1A,  // 1 CSIDL_APPDATA
    0x0A,  // 2 CSIDL_BITBUCKET
    0x1E,  // 3 CSIDL_COMMON_ALTSTARTUP
    0x19,  // 4 CSIDL_COMMON_DESKTOPDIRECTORY
    0x1F,  // 5 CSIDL_COMMON_FAVORITES
    0x17,  // 6 CSIDL_COMMON_PROGRAMS
    0x16,  // 7 CSIDL_COMMON_STARTMENU
    0x18,  // 8 CSIDL_COMMON_STARTUP
    0x03,  // 9 CSIDL_CONTROLS
    0x21,  // 10 CSIDL_COOKIES
    0x00,  // 11 CSIDL_DESKTOP
    0x10,  // 12 CSIDL_DESKTOPDIRECTORY
    0x11,  // 13 CSIDL_DRIVES
    0x06,  // 14 CSIDL_FAVORITES
    0x14,  // 15 CSIDL_FONTS
    0x22,  // 16 CSIDL_HISTORY
    0x01,  // 17 CSIDL_INTERNET
    0x20,  // 18 CSIDL_INTERNET_CACHE
    0x13,  // 19 CSIDL_NETHOOD
    0x12,  // 20 CSIDL_NETWORK
    0x05,  // 21 CSIDL_PERSONAL
    0x04,  // 22 CSIDL_PRINTERS
    0x1B,  // 23 CSIDL_PRINTHOOD
    0x02,  // 24 CSIDL_PROGRAMS
    0x08,  // 25 CSIDL_RECENT
    0x09,  // 26 CSIDL_SENDTO
    0x0B,  // 27 CSIDL_STARTMENU
    0x07,  // 28 CSIDL_STARTUP
    0x15,  // 29 CSIDL_TEMPLATES
};

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

int SpecialFolderToCsidl(int kind) {
  if (kind < 0 || kind >= static_cast<int>(kCsidlOfKind.size())) {
    throw Exception(u"指定されたコードが見つかりません。");
  }
  return kCsidlOfKind[static_cast<std::size_t>(kind)];
}

UnicodeString GetSpecialFolderPath(int kind) {
  return FromUtf8(folderOfCsidl(SpecialFolderToCsidl(kind)));
}

}  // namespace norvalis::TSpecialFolder
