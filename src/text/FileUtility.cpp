#include "text/FileUtility.h"
#include "text/Exception.h"

#include <fstream>
#include <sstream>

namespace norvalis::TFileUtility {
AnsiString LoadFileToAnsiString(const UnicodeString& fileName) {
  std::ifstream in(ToUtf8(fileName), std::ios::binary);
  if (!in) throw EFOpenError::ForPath(fileName, 2);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace norvalis::TFileUtility
