#pragma once

#include <QWidget>

class QTextBrowser;
class QUrl;

namespace norvalis {

// The help viewer: shows the help pages from their table of contents, or says that the help
// file is missing. Back and 目次 lead through the pages; the caption names the page shown.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the window at the table of contents page helpFile.
  void ShowTableOfContents(const QString& helpFile);
  // The table of contents 目次 leads to.
  void SetContentsPage(const QString& helpFile) { contents_ = helpFile; }
  // Shows the window at a page; links lead on from there.
  void ShowPage(const QString& page);
  // The text the window shows.
  QString Text() const;
  // The page last loaded from a file.
  QUrl Source() const;

 private:
  // The caption names the page shown.
  void ShowPageTitle();

  QTextBrowser* browser_;
  QString contents_;  // the table of contents, where 目次 leads
};

// The text shown in place of a missing help file.
QString MissingHelpFileText(const QString& helpFile);

}  // namespace norvalis
