#include "app/Application.h"

#include <exception>
#include <iterator>
#include <string>
#include <utility>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/AllColumnsWindow.h"
#include "app/Dialogs.h"
#include "app/HelpWindow.h"
#include "app/ProgramIcon.h"
#include "platform/Console.h"
#include "platform/Folders.h"
#include "text/Exception.h"
#include "text/UnicodeString.h"

namespace norvalis {

namespace {

// Texts of the file dialog that the toolkit's Japanese catalogue lacks.
class MissingToolkitTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;

  bool isEmpty() const override { return false; }

  QString translate(const char* context, const char* sourceText, const char*, int) const override {
    if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
    static const std::pair<const char*, const char*> texts[] = {
        {"Folder", "フォルダー"}, {"Drive", "ドライブ"}, {"Shortcut", "ショートカット"},
        {"Alias", "エイリアス"},  {"Unknown", "不明"},
    };
    for (const auto& [english, japanese] : texts) {
      if (qstrcmp(sourceText, english) == 0) return QString::fromUtf8(japanese);
    }
    return {};
  }
};

// The help and the result window are windows of their own: without this, screen readers
// find them as fillers with no name.
QAccessibleInterface* ToolWindowAccessible(const QString&, QObject* object) {
  if (qobject_cast<HelpWindow*>(object) != nullptr ||
      qobject_cast<TAllColumnsWindow*>(object) != nullptr) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  }
  return nullptr;
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Only the name: a display name would be appended to captions such as "Norvalis - a.NVS".
  setApplicationName(Title);
  setWindowIcon(ProgramIcon());
  QAccessible::installFactory(ToolWindowAccessible);
}

Application::~Application() = default;

Application* Application::Instance() {
  return qobject_cast<Application*>(QCoreApplication::instance());
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException();
  }
  return false;
}

void Application::ShowException(const QString& message) {
  QWidget* parent = QApplication::activeModalWidget();
  if (parent == nullptr) parent = QApplication::activeWindow();
  Dialogs::Current().Critical(parent, Title, message);
}

void Application::ShowCurrentException() {
  try {
    throw;
  } catch (const Exception& e) {
    ShowException(QString::fromStdU16String(e.Message()));
  } catch (const std::exception& e) {
    ShowException(QString::fromStdU16String(FromUtf8(e.what())));
  } catch (...) {
    // Anything else stands for an exception with an empty message.
    ShowException(QString());
  }
}

bool Application::LoadJapaneseTranslations() {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* translator = new QTranslator(this);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return installTranslator(translator) && installTranslator(new MissingToolkitTexts(this));
}

void Application::HelpShowTableOfContents() {
  if (!help_) help_ = std::make_unique<HelpWindow>();
  help_->ShowTableOfContents(helpFile_);
}

void Application::HelpShowContext(int topic) {
  if (!help_) help_ = std::make_unique<HelpWindow>();
  help_->SetContentsPage(helpFile_);
  help_->ShowPage(HelpTopicFile(helpFile_, topic));
}

QStringList ProgramArguments(int argc, char** argv) {
  QStringList arguments;
  for (const std::string& argument : platform::CommandLineArguments(argc, argv))
    arguments << QString::fromStdU16String(FromUtf8(argument));
  return arguments;
}

QString DefaultHelpFile() {
  QStringList candidates;
  for (const std::string& folder :
       platform::HelpFolders(QCoreApplication::applicationDirPath().toStdString())) {
    candidates << QDir::cleanPath(QString::fromStdString(folder) + QStringLiteral("/index.html"));
  }
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return candidates.value(0);
}

QString HelpTopicFile(const QString& helpFile, int topic) {
  static const char* const pages[] = {
      "open.html",     "encodings.html",   "title.html",          "check.html", "projects.html",
      "settings.html", "commandline.html", "norvalis-check.html", "tools.html", "check-all.html",
      "views.html",    "rules.html",       "characters.html",
  };
  if (topic < 1 || topic > static_cast<int>(std::size(pages))) return helpFile;
  return QFileInfo(helpFile).dir().filePath(QString::fromLatin1(pages[topic - 1]));
}

}  // namespace norvalis
