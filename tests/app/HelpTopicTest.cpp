#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "app/Application.h"

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
  ASSERT_EQ(linked.size(), 10);
  for (int topic = 1; topic <= linked.size(); ++topic) {
    SCOPED_TRACE(topic);
    const QString page = HelpTopicFile(Contents, topic);
    EXPECT_EQ(QFileInfo(page).fileName(), linked[topic - 1]);
    EXPECT_TRUE(QFileInfo(page).isFile());
  }
  EXPECT_EQ(QFileInfo(HelpTopicFile(Contents, 6)).fileName(), QStringLiteral("settings.html"));
  for (int unknown : {0, 11, -1})
    EXPECT_EQ(HelpTopicFile(Contents, unknown), Contents);
}

}  // namespace
}  // namespace norvalis
