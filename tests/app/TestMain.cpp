#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

#include "app/Application.h"
#include "platform/Folders.h"

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform says on every shown window what it cannot do.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  defaultHandler(type, context, message);
}

// The settings folder is the one XDG_CONFIG_HOME names on every system, so the tests can move it
// (Windows asks the shell for it, not the environment).
std::string testShellFolder(int csidl) {
  constexpr int kCsidlAppData = 0x1A;
  const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (csidl != kCsidlAppData || home.isEmpty())
    return norvalis::platform::SystemShellFolderPath(csidl);
  return QDir::toNativeSeparators(home).toStdString();
}

}  // namespace

// The window's tests need the application object of the program itself.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Also when the build lists the tests, where no display exists.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  defaultHandler = qInstallMessageHandler(QuietOffscreen);
  // The window reads and writes the per-user settings: never the real ones.
  QTemporaryDir settingsHome;
  if (!settingsHome.isValid()) return 1;
  qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
  norvalis::platform::FoldersTesting::SetShellFolderFunction(testShellFolder);
  norvalis::Application app(argc, argv);
  // A test that closes its window must not end the event loops of the tests after it.
  app.setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
