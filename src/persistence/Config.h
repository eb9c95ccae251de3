#pragma once

#include <cstdint>
#include <functional>

#include "persistence/StringList.h"
#include "text/UnicodeString.h"

namespace norvalis {

// The full path of the per-user settings file: the application data folder followed by
// "Kestrune/Norvalis/Norvalis.ini" (with the system's folder separator).
UnicodeString GetSettingsFilePath();

// The per-user settings, kept in the settings file (sections "SYSTEM" and "STARTUP").
class TConfig {
 public:
  // Shows a warning to the user; the window supplies it, the core has no GUI.
  using WarningCallback = std::function<void(const UnicodeString& message)>;

  // Replaces every field from the file; a missing file gives every default.
  // Raises EFOpenError when the file exists but cannot be read.
  void Load(const UnicodeString& path);
  // Writes every field to the file, keeping what else it holds. When the folder cannot be
  // created, calls warn with "設定ファイルを保存するためのフォルダの作成に失敗しました。" and
  // writes nothing. Raises EFOpenError or EFCreateError; the old file is then unchanged.
  void Save(const UnicodeString& path, const WarningCallback& warn = {});
  // Puts the path at the front of History, dropping every entry equal to it without regard
  // to case.
  void AddHistory(const UnicodeString& path);
  // Stores 0, 1 or 2 as given; any other value as 0.
  void SetWindowState(std::int32_t state);

  bool WindowPositionRestore = false;
  std::int32_t WindowPositionLeft = 0;
  std::int32_t WindowPositionTop = 0;
  std::int32_t WindowPositionRight = 744;   // the window's width
  std::int32_t WindowPositionBottom = 580;  // the window's height
  std::int32_t WindowState = 0;             // 0 normal, 1 minimized, 2 maximized
  TStringList History;                      // project files, most recent first
  bool ProjectFileRestore = false;
  UnicodeString LastProjectFile;
  // VIEW / ShowSpecialCharacters: the grid marks spaces, tabs, line feeds and control
  // characters. CHECK / CharacterKindsOff: the character check's kinds turned off, as comma
  // text of their names. Each written only once it is set (or was in the file), so a file
  // without them is saved as it always was.
  bool ShowSpecialCharacters = false;
  UnicodeString CharacterKindsOff;
};

}  // namespace norvalis
