#include "persistence/Project.h"

#include <cstdint>
#include <utility>

#include "persistence/IniFile.h"
#include "text/Encodings.h"

namespace norvalis {

TProject::TProject(UnicodeString fileName, std::int32_t col, bool title)
    : FileName(std::move(fileName)), Col(col), Title(title) {}

void TProject::Clear() {
  FileName.clear();
  Col = 0;
  CodePage = 0;
}

void TProject::SaveToFile(const UnicodeString& path) const {
  TMemIniFile ini(path, TIniEncoding::Utf16LE);
  ini.WriteString(u"CSV", u"FILENAME", FileName);
  ini.WriteBool(u"CSV", u"TITLE", Title);
  ini.WriteInteger(u"TASK", u"COL", Col);
  // A choice left in the file from before must not outlive a return to automatic.
  if (CodePage != 0 || ini.ReadInteger(u"CSV", u"CODEPAGE", 0) != 0) {
    ini.WriteInteger(u"CSV", u"CODEPAGE", CodePage);
  }
  ini.UpdateFile();
}

void TProject::LoadFromFile(const UnicodeString& path) {
  const TMemIniFile ini(path);
  UnicodeString fileName = ini.ReadString(u"CSV", u"FILENAME", UnicodeString());
  const bool title = ini.ReadBool(u"CSV", u"TITLE", false);
  const std::int32_t col = ini.ReadInteger(u"TASK", u"COL", 0);
  const std::int32_t codePage = ini.ReadInteger(u"CSV", u"CODEPAGE", 0);
  FileName = std::move(fileName);
  Title = title;
  Col = col;
  // A value this program does not offer (or a later one's) reads as automatic.
  const bool known = codePage > 0 && codePage <= UINT16_MAX &&
                     Encodings::IsChoice(static_cast<std::uint16_t>(codePage));
  CodePage = known ? static_cast<std::uint16_t>(codePage) : 0;
}

}  // namespace norvalis
