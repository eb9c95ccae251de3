#include "LogFile.h"

#include <fstream>

namespace norvalis::crash {

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
