#pragma once

#include <optional>

#include <QRect>
#include <QString>
#include <QStringList>

#include "persistence/Config.h"
#include "persistence/Project.h"
#include "text/UnicodeString.h"

namespace norvalis {

// The window's project side: the project shown, the per-user settings and the current project
// file, with the rules of the caption, the history and what closing records.
class TProjectSession {
 public:
  // The project shown in the window.
  TProject Project;
  // The per-user settings: read when the window is made, written when it closes.
  TConfig Config;
  // The current project file; empty while the project is untitled.
  UnicodeString ProjectFileName;

  // Makes the file the current project file; a named one goes to the front of the history.
  void SetProjectFileName(const UnicodeString& fileName);
  // The window caption: the application title, then " - " and the project file's name.
  QString Caption(const QString& applicationTitle) const;

  // The recent-projects captions, "&i.path" in history order (ampersands in paths doubled).
  QStringList RecentCaptions() const;
  // The history entry a recent-projects item's tag names; nothing outside the history.
  std::optional<UnicodeString> HistoryEntry(int tag) const;
  // Drops the first history entry equal to the path.
  void ForgetHistoryEntry(const UnicodeString& path);

  // The last project, when the settings ask for it to be reopened and it still exists.
  std::optional<UnicodeString> ProjectToReopen() const;
  // Records the window's normal bounds, its state (0 normal, 1 minimized, 2 maximized) and
  // the current project file.
  void RecordClose(const QRect& normalBounds, int windowState);
};

}  // namespace norvalis
