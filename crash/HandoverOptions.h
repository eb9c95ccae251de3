#pragma once

#include <string>

namespace norvalis::crash {

// The crash options block of the dying executable, as handed over.
struct HandoverOptions {
  bool dialog = false;
  bool copy = false;
  bool screenshot = false;
  bool log = false;
  bool send = false;
  bool restart = false;
  bool autoLog = true;
  std::string mail;
  std::string program = "Norvalis";
  std::string version;
};

}  // namespace norvalis::crash
