#include "editor_main.h"

#include <exception>

#include "app_icon.h"
#include "editor_facts_source.h"
#include "exception_reporter.h"
#include "fatal_signal_handler.h"
#include "kestrin_application.h"
#include "main_window.h"
#include "process_launcher.h"
#include "qt_crash_box.h"
#include "qt_dialog_service.h"
#include "shell_texts.h"

// The program's one window.
kestrin::TMainWindow* MainWindow = nullptr;

namespace kestrin {

namespace {

crash::EditorFacts MainWindowFacts() {
  return MainWindow != nullptr ? FactsOf(MainWindow->State()) : crash::EditorFacts{};
}

}  // namespace

int RunEditor(int argc, char* argv[], const std::function<void(TMainWindow&)>& prepare) {
  // Before anything else can fail.
  crash::InstallFatalSignalHandler(crash::SetupForThisProgram(
      shell_texts::kProgramName.toStdString(), shell_texts::kVersion.toStdString()));
  crash::SetEditorFactsSource(MainWindowFacts);

  KestrinApplication app(argc, argv);
  // The fatal-signal handler reads a copy made after each event, never the
  // window's live state.
  app.SetAfterEachEvent([] { crash::PublishEditorFacts(MainWindowFacts()); });
  KestrinApplication::setApplicationName(shell_texts::kProgramName);
  KestrinApplication::setApplicationVersion(shell_texts::kVersion);
  KestrinApplication::setWindowIcon(AppIcon());
  QtCrashBox crashBox;
  QtProcessLauncher launcher;
  ExceptionReporter reporter(crashBox, launcher);
  reporter.SetWindowSource([]() -> QWidget* { return MainWindow; });
  InstallTerminateHandler(&reporter);
  app.SetExceptionReporter(&reporter);
  QtDialogService dialogs;
  app.SetDialogs(&dialogs);
  try {
    TMainWindow window(dialogs);
    MainWindow = &window;
    if (prepare) prepare(window);
    window.show();
    KestrinApplication::exec();
    MainWindow = nullptr;
  } catch (...) {
    // A failure while starting up is reported like any other; the program
    // then ends normally.
    MainWindow = nullptr;
    app.ShowException(std::current_exception(), FailureOrigin::StartUp);
  }
  InstallTerminateHandler(nullptr);
  crash::SetEditorFactsSource(nullptr);
  return 0;
}

}  // namespace kestrin
