#include "app/ProjectSession.h"

#include <QFileInfo>

namespace norvalis {

namespace {

bool FileExists(const UnicodeString& path) {
  return QFileInfo(QString::fromStdU16String(path)).isFile();
}

}  // namespace

void TProjectSession::SetProjectFileName(const UnicodeString& fileName) {
  ProjectFileName = fileName;
  if (!ProjectFileName.empty()) Config.AddHistory(ProjectFileName);
}

QString TProjectSession::Caption(const QString& applicationTitle) const {
  if (ProjectFileName.empty()) return applicationTitle;
  const QString name = QFileInfo(QString::fromStdU16String(ProjectFileName)).fileName();
  return QStringLiteral("%1 - %2").arg(applicationTitle, name);
}

QStringList TProjectSession::RecentCaptions() const {
  QStringList captions;
  for (int i = 0; i < Config.History.Count(); ++i) {
    QString path = QString::fromStdU16String(Config.History[i]);
    // An ampersand in a path is text, not a second access key.
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    captions << QLatin1Char('&') + QString::number(i) + QLatin1Char('.') + path;
  }
  return captions;
}

std::optional<UnicodeString> TProjectSession::HistoryEntry(int tag) const {
  if (tag < 0 || tag >= Config.History.Count()) return std::nullopt;
  return Config.History[tag];
}

void TProjectSession::ForgetHistoryEntry(const UnicodeString& path) {
  const int index = Config.History.IndexOf(path);
  if (index >= 0) Config.History.Delete(index);
}

std::optional<UnicodeString> TProjectSession::ProjectToReopen() const {
  if (!Config.ProjectFileRestore || !FileExists(Config.LastProjectFile)) return std::nullopt;
  return Config.LastProjectFile;
}

void TProjectSession::RecordClose(const QRect& normalBounds, int windowState) {
  Config.SetWindowState(windowState);
  Config.WindowPositionLeft = normalBounds.x();
  Config.WindowPositionTop = normalBounds.y();
  Config.WindowPositionRight = normalBounds.width();
  Config.WindowPositionBottom = normalBounds.height();
  Config.LastProjectFile = ProjectFileName;
}

}  // namespace norvalis
