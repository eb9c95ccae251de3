#pragma once

#include <QWidget>

class QTextBrowser;
class QUrl;

namespace norvalis {

// The help viewer: shows the help pages from their table of contents, or says that the help
// file is missing.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the window at the table of contents page helpFile.
  void ShowTableOfContents(const QString& helpFile);
  // Shows the window at a page; links lead on from there.
  void ShowPage(const QString& page);
  // The text the window shows.
  QString Text() const;
  // The page last loaded from a file.
  QUrl Source() const;

 private:
  QTextBrowser* browser_;
};

// The text shown in place of a missing help file.
QString MissingHelpFileText(const QString& helpFile);

}  // namespace norvalis
