#include "persistence/Config.h"

#include <filesystem>
#include <system_error>

#include "persistence/IniFile.h"
#include "persistence/SpecialFolder.h"
#include "platform/FileName.h"

namespace norvalis {

namespace {

constexpr int kAppDataFolder = 1;
constexpr std::u16string_view kStartup = u"STARTUP";
constexpr std::u16string_view kView = u"VIEW";
constexpr std::u16string_view kCheck = u"CHECK";
// Tells a key that is absent from one that holds any text.
const UnicodeString kAbsent = u"\x01";

// The folder part of the path: everything before its last folder separator.
std::filesystem::path folderOf(const UnicodeString& path) {
  const std::size_t slash = path.find_last_of(platform::PathDelimiters);
  if (slash == UnicodeString::npos) return {};
  if (slash == 0) return "/";
  return std::filesystem::path(ToUtf8(path.substr(0, slash)));
}

bool ensureFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return true;
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return true;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error);
}

}  // namespace

UnicodeString GetSettingsFilePath() {
  UnicodeString path = TSpecialFolder::GetSpecialFolderPath(kAppDataFolder);
  const auto delimiter = static_cast<char16_t>(platform::PathDelimiter);
  if (path.empty() || platform::PathDelimiters.find(path.back()) == std::u16string_view::npos) {
    path += delimiter;
  }
  return path + u"Kestrune" + delimiter + u"Norvalis" + delimiter + u"Norvalis.ini";
}

void TConfig::Load(const UnicodeString& path) {
  const TMemIniFile ini(path);
  WindowPositionRestore = ini.ReadBool(kStartup, u"WindowPositionRestore", false);
  WindowPositionLeft = ini.ReadInteger(kStartup, u"WindowPositionLeft", 0);
  WindowPositionRight = ini.ReadInteger(kStartup, u"WindowPositionRight", 434);
  WindowPositionTop = ini.ReadInteger(kStartup, u"WindowPositionTop", 0);
  WindowPositionBottom = ini.ReadInteger(kStartup, u"WindowPositionBottom", 420);
  SetWindowState(ini.ReadInteger(kStartup, u"WindowState", 0));
  History.SetCommaText(ini.ReadString(kStartup, u"HISTORY", UnicodeString()));
  ProjectFileRestore = ini.ReadBool(kStartup, u"ProjectFileRestore", false);
  LastProjectFile = ini.ReadString(kStartup, u"LastProjectFile", UnicodeString());
  ShowSpecialCharacters = ini.ReadBool(kView, u"ShowSpecialCharacters", false);
  CharacterKindsOff = ini.ReadString(kCheck, u"CharacterKindsOff", UnicodeString());
}

void TConfig::Save(const UnicodeString& path, const WarningCallback& warn) {
  if (!ensureFolder(folderOf(path))) {
    if (warn) warn(u"設定ファイルを保存するためのフォルダの作成に失敗しました。");
    return;
  }
  TMemIniFile ini(path);
  ini.WriteInteger(u"SYSTEM", u"Version", 0);
  ini.WriteBool(kStartup, u"WindowPositionRestore", WindowPositionRestore);
  ini.WriteInteger(kStartup, u"WindowPositionLeft", WindowPositionLeft);
  ini.WriteInteger(kStartup, u"WindowPositionRight", WindowPositionRight);
  ini.WriteInteger(kStartup, u"WindowPositionTop", WindowPositionTop);
  ini.WriteInteger(kStartup, u"WindowPositionBottom", WindowPositionBottom);
  ini.WriteInteger(kStartup, u"WindowState", WindowState);
  ini.WriteString(kStartup, u"HISTORY", History.CommaText());
  ini.WriteBool(kStartup, u"ProjectFileRestore", ProjectFileRestore);
  ini.WriteString(kStartup, u"LastProjectFile", LastProjectFile);
  if (ShowSpecialCharacters || ini.ReadString(kView, u"ShowSpecialCharacters", kAbsent) != kAbsent)
    ini.WriteBool(kView, u"ShowSpecialCharacters", ShowSpecialCharacters);
  if (!CharacterKindsOff.empty() ||
      ini.ReadString(kCheck, u"CharacterKindsOff", kAbsent) != kAbsent) {
    ini.WriteString(kCheck, u"CharacterKindsOff", CharacterKindsOff);
  }
  ini.UpdateFile();
}

void TConfig::AddHistory(const UnicodeString& path) {
  for (int index = History.IndexOf(path); index >= 0; index = History.IndexOf(path)) {
    History.Delete(index);
  }
  History.Insert(0, path);
}

void TConfig::SetWindowState(std::int32_t state) {
  WindowState = (state == 0 || state == 1 || state == 2) ? state : 0;
}

}  // namespace norvalis
