#include "persistence/Project.h"

#include <utility>

#include "persistence/IniFile.h"

namespace norvalis {

TProject::TProject(UnicodeString fileName, std::int32_t col, bool title)
    : FileName(std::move(fileName)), Col(col), Title(title) {}

void TProject::Clear() {
  FileName.clear();
  Col = 0;
}

void TProject::SaveToFile(const UnicodeString& path) const {
  TMemIniFile ini(path, TIniEncoding::Utf16LE);
  ini.WriteString(u"CSV", u"FILENAME", FileName);
  ini.WriteBool(u"CSV", u"TITLE", Title);
  ini.WriteInteger(u"TASK", u"COL", Col);
  ini.UpdateFile();
}

void TProject::LoadFromFile(const UnicodeString& path) {
  const TMemIniFile ini(path);
  UnicodeString fileName = ini.ReadString(u"CSV", u"FILENAME", UnicodeString());
  const bool title = ini.ReadBool(u"CSV", u"TITLE", false);
  const std::int32_t col = ini.ReadInteger(u"TASK", u"COL", 0);
  FileName = std::move(fileName);
  Title = title;
  Col = col;
}

}  // namespace norvalis
