#include "CrashLog.h"

#include <ctime>
#include <fstream>

namespace norvalis::crash {

std::filesystem::path CrashLogFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::filesystem::path base;
  if (state != nullptr && std::filesystem::path(state).is_absolute()) {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : "/tmp") / ".local" / "state";
  }
  return base / "Norvalis" / "crash";
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

bool WriteLogFile(const std::filesystem::path& path, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error) return false;
  std::filesystem::permissions(path.parent_path(), std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace, error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace norvalis::crash
