#include "app/Application.h"
#include "app/FormMain.h"

// The entry point hands the command line to the window, whose start-up work obeys it.
int main(int argc, char** argv) {
  try {
    norvalis::Application app(argc, argv);
    try {
      app.LoadJapaneseTranslations();
      norvalis::TFormMain form;
      form.SetCommandLine(norvalis::ProgramArguments(argc, argv));
      form.show();
      app.exec();
    } catch (...) {
      norvalis::Application::ShowCurrentException();
    }
  } catch (...) {
    // The application object itself failed: there is nothing left to show a box with.
  }
  return 0;
}
