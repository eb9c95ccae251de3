#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>

#include "app/AllColumnsWindow.h"
#include "app/Application.h"
#include "app/CharacterKindsDialog.h"
#include "app/HelpWindow.h"
#include "app/FormMain.h"
#include "app/RulesDialog.h"

namespace norvalis {
namespace {

// The help pages of the source tree, as installed and copied beside the program.
const QString Contents = QStringLiteral(NORVALIS_TEST_DATA "/../../resources/help/index.html");

TEST(HelpTopics, NumbersFollowTheTableOfContents) {
  QFile file(Contents);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  QStringList linked;
  const QRegularExpression link(QStringLiteral("<li><a href=\"([^\"]+)\""));
  for (const QRegularExpressionMatch& m : link.globalMatch(text))
    linked << m.captured(1);
  ASSERT_EQ(linked.size(), 13);
  for (int topic = 1; topic <= linked.size(); ++topic) {
    SCOPED_TRACE(topic);
    const QString page = HelpTopicFile(Contents, topic);
    EXPECT_EQ(QFileInfo(page).fileName(), linked[topic - 1]);
    EXPECT_TRUE(QFileInfo(page).isFile());
  }
  EXPECT_EQ(QFileInfo(HelpTopicFile(Contents, 6)).fileName(), QStringLiteral("settings.html"));
  // F1 in each dialog opens its page.
  EXPECT_EQ(QFileInfo(HelpTopicFile(Contents, TRulesDialog::HelpContext)).fileName(),
            QStringLiteral("rules.html"));
  EXPECT_EQ(QFileInfo(HelpTopicFile(Contents, TCharacterKindsDialog::HelpContext)).fileName(),
            QStringLiteral("characters.html"));
  for (int unknown : {0, 14, -1})
    EXPECT_EQ(HelpTopicFile(Contents, unknown), Contents);
}

// An Alt+letter the help promises opens the menu whose mnemonic it is, and the help says which
// (the title box's own letter is taken by the File menu, so a box is no place for one).
TEST(HelpTopics, AltKeysNameTheMenuTheyOpen) {
  TFormMain form;
  QMap<QChar, QString> menus;
  for (QAction* menu : form.menuBar()->actions()) {
    const QString title = menu->text();
    const qsizetype amp = title.indexOf(QLatin1Char('&'));
    if (amp >= 0 && amp + 1 < title.size()) menus[title.at(amp + 1)] = StripMnemonic(title);
  }
  ASSERT_TRUE(menus.contains(QLatin1Char('F')));
  const QRegularExpression altKey(QStringLiteral("<kbd>Alt</kbd>\\+<kbd>(.)</kbd>"));
  const QFileInfo contents(Contents);
  for (const QFileInfo& page : contents.dir().entryInfoList({QStringLiteral("*.html")})) {
    QFile file(page.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList paragraphs =
        text.split(QRegularExpression(QStringLiteral("</(p|li|tr)>")), Qt::SkipEmptyParts);
    for (const QString& paragraph : paragraphs) {
      for (const QRegularExpressionMatch& m : altKey.globalMatch(paragraph)) {
        SCOPED_TRACE((page.fileName() + QLatin1Char(' ') + paragraph).toStdString());
        const QChar key = m.captured(1).at(0);
        ASSERT_TRUE(menus.contains(key)) << "no menu has Alt+" << m.captured(1).toStdString();
        EXPECT_TRUE(paragraph.contains(QStringLiteral("［") + menus[key] + QStringLiteral("］")));
      }
    }
  }
}

// The help and the result window are windows to a screen reader, named by their captions; the
// help's caption names its page, and back and 目次 lead through the pages.
TEST(HelpTopics, HelpWindowNamesItsPageAndLeadsBackAndHome) {
  Application* app = Application::Instance();
  app->SetHelpFile(Contents);
  app->HelpShowTableOfContents();
  HelpWindow* help = app->Help();
  ASSERT_NE(help, nullptr);
  auto* browser = help->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
  ASSERT_NE(browser, nullptr);
  const auto expectPage = [&](const char* file, const QString& title) {
    EXPECT_EQ(QFileInfo(help->Source().toLocalFile()).fileName(), QString::fromLatin1(file));
    EXPECT_EQ(help->windowTitle(), title);
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(help);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), title);
  };
  const QString contents = QStringLiteral("Norvalis ヘルプ");
  const QString commandLine = QStringLiteral("コマンドライン - Norvalis ヘルプ");
  expectPage("index.html", contents);
  auto* back = help->findChild<QAction*>(QStringLiteral("ActionHelpBack"));
  auto* home = help->findChild<QAction*>(QStringLiteral("ActionHelpHome"));
  ASSERT_TRUE(back != nullptr && home != nullptr);
  browser->setSource(help->Source().resolved(QUrl(QStringLiteral("commandline.html"))));
  expectPage("commandline.html", commandLine);
  back->trigger();
  expectPage("index.html", contents);
  browser->setSource(help->Source().resolved(QUrl(QStringLiteral("commandline.html"))));
  home->trigger();
  expectPage("index.html", contents);
  help->close();

  TAllColumnsWindow result;
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&result);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), result.windowTitle());
}

}  // namespace
}  // namespace norvalis
