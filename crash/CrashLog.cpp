#include "CrashLog.h"

#include <ctime>

#include "platform/Folders.h"

namespace norvalis::crash {

std::filesystem::path CrashLogFolder() {
  std::string base = platform::StateFolder();
  // Without a home the log still goes somewhere the user may look.
  if (base.empty()) base = "/tmp/.local/state";
  return std::filesystem::path(base) / "Norvalis" / "crash";
}

std::filesystem::path CrashLogStem(const Handover& handover, const std::string& executable) {
  std::string program = std::filesystem::path(executable).filename().string();
  if (program.empty()) program = "norvalis";
  const std::time_t time = static_cast<std::time_t>(handover.time);
  std::tm local{};
  localtime_r(&time, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return CrashLogFolder() / (program + "-" + stamp + "-" + std::to_string(handover.pid));
}

}  // namespace norvalis::crash
