#pragma once

#include <memory>

#include <QApplication>
#include <QString>
#include <QStringList>

namespace norvalis {

class HelpWindow;

// The application object: its title, the display of every exception that leaves an event
// handler, the Japanese translations of the toolkit and the help file.
class Application : public QApplication {
  Q_OBJECT

 public:
  // The application title, also the main window's caption while no project is open.
  static inline const QString Title = QStringLiteral("Norvalis");

  Application(int& argc, char** argv);
  ~Application() override;

  // The running application, or null when the QApplication is not ours.
  static Application* Instance();

  // Delivers the event; an exception that escapes is shown and the program goes on.
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows an exception's message in the critical box titled with the application title.
  static void ShowException(const QString& message);
  // Shows the exception currently being handled (call only inside a catch block).
  static void ShowCurrentException();

  // Installs the toolkit's Japanese texts (standard buttons, file dialogs, context menus).
  bool LoadJapaneseTranslations();

  // The help's table of contents page.
  const QString& HelpFile() const { return helpFile_; }
  void SetHelpFile(const QString& helpFile) { helpFile_ = helpFile; }
  // Opens the help window at its table of contents.
  void HelpShowTableOfContents();
  // Opens the help window at a topic's page (topic 6: the general settings).
  void HelpShowContext(int topic);
  // The help window, once it has been opened.
  HelpWindow* Help() const { return help_.get(); }

 private:
  QString helpFile_;
  std::unique_ptr<HelpWindow> help_;
};

// The arguments after the program's name (what the toolkit left of them), decoded by the
// program's one UTF-8 rule.
QStringList ProgramArguments(int argc, char** argv);

// The help's table of contents page that belongs to the executable: beside it in the build
// tree, else in the installed share folder; the first of these when neither exists.
QString DefaultHelpFile();

// The page of a help topic, beside the table of contents helpFile: the topics are numbered as
// the table of contents lists them, from 1. An unknown topic gives the table of contents.
QString HelpTopicFile(const QString& helpFile, int topic);

}  // namespace norvalis
