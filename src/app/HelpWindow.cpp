#include "app/HelpWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace norvalis {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Norvalis ヘルプ"));
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  browser_->setAccessibleName(QStringLiteral("ヘルプ"));
  browser_->setOpenLinks(true);
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("HelpToolBar"));
  bar->setAccessibleName(QStringLiteral("ヘルプのツールバー"));
  QAction* back = bar->addAction(QStringLiteral("戻る(&B)"), browser_, &QTextBrowser::backward);
  back->setObjectName(QStringLiteral("ActionHelpBack"));
  back->setShortcut(QKeySequence::Back);
  back->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  QAction* home = bar->addAction(QStringLiteral("目次(&H)"), this, [this] { ShowPage(contents_); });
  home->setObjectName(QStringLiteral("ActionHelpHome"));
  for (QAction* action : bar->actions())
    bar->widgetForAction(action)->setAccessibleName(action->text().remove(QLatin1Char('&')));
  connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::ShowPageTitle);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(browser_);
  resize(640, 480);
  // Esc closes the viewer, as it closes a dialog.
  auto* close = new QAction(this);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);
}

void HelpWindow::ShowTableOfContents(const QString& helpFile) {
  contents_ = helpFile;
  ShowPage(helpFile);
}

void HelpWindow::ShowPageTitle() {
  const QString title = browser_->documentTitle();
  // Pages are titled "ページ - Norvalis ヘルプ"; the contents page is the help's own title.
  setWindowTitle(title.isEmpty() ? QStringLiteral("Norvalis ヘルプ") : title);
}

void HelpWindow::ShowPage(const QString& page) {
  const QFileInfo info(page);
  if (!page.isEmpty() && info.isFile()) {
    browser_->setSearchPaths({info.absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
  } else {
    browser_->setPlainText(MissingHelpFileText(page));
    ShowPageTitle();
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
