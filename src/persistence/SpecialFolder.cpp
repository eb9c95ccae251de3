#include "persistence/SpecialFolder.h"

#include <array>

#include "platform/Folders.h"
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

}  // namespace

int SpecialFolderToCsidl(int kind) {
  if (kind < 0 || kind >= static_cast<int>(kCsidlOfKind.size())) {
    throw Exception(u"指定されたコードが見つかりません。");
  }
  return kCsidlOfKind[static_cast<std::size_t>(kind)];
}

UnicodeString GetSpecialFolderPath(int kind) {
  return FromUtf8(platform::ShellFolderPath(SpecialFolderToCsidl(kind)));
}

}  // namespace norvalis::TSpecialFolder
