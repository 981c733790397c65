#include <exception>

#include "app_icon.h"
#include "kestrin_application.h"
#include "main_window.h"
#include "qt_dialog_service.h"
#include "shell_texts.h"

// The program's one window.
kestrin::TMainWindow* MainWindow = nullptr;

int main(int argc, char* argv[]) {
  kestrin::KestrinApplication app(argc, argv);
  kestrin::KestrinApplication::setApplicationName(kestrin::shell_texts::kProgramName);
  kestrin::KestrinApplication::setApplicationVersion(kestrin::shell_texts::kVersion);
  kestrin::KestrinApplication::setWindowIcon(kestrin::AppIcon());
  kestrin::QtDialogService dialogs;
  app.SetDialogs(&dialogs);
  try {
    kestrin::TMainWindow window(dialogs);
    MainWindow = &window;
    window.show();
    kestrin::KestrinApplication::exec();
    MainWindow = nullptr;
  } catch (...) {
    // A failure while starting up is shown like any other, then the
    // program ends normally.
    MainWindow = nullptr;
    app.ShowException(std::current_exception());
  }
  return 0;
}
