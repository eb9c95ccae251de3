#include "app/HelpWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace norvalis {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Norvalis ヘルプ"));
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  browser_->setAccessibleName(QStringLiteral("ヘルプ"));
  browser_->setOpenLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(640, 480);
  // Esc closes the viewer, as it closes a dialog.
  auto* close = new QAction(this);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);
}

void HelpWindow::ShowTableOfContents(const QString& helpFile) {
  ShowPage(helpFile);
}

void HelpWindow::ShowPage(const QString& page) {
  const QFileInfo info(page);
  if (!page.isEmpty() && info.isFile()) {
    browser_->setSearchPaths({info.absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
  } else {
    browser_->setPlainText(MissingHelpFileText(page));
  }
  show();
  raise();
  activateWindow();
}

QString HelpWindow::Text() const {
  return browser_->toPlainText();
}

QUrl HelpWindow::Source() const {
  return browser_->source();
}

QString MissingHelpFileText(const QString& helpFile) {
  return QStringLiteral("ヘルプファイルが見つかりません。\n") + helpFile;
}

}  // namespace norvalis
