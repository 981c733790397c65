#pragma once
// Takes over every C++ exception the program does not handle: one escaping an
// event handler or a slot (the event loop goes on if the user chooses
// "Continue"), one during start-up, and std::terminate. It writes the report
// with the trace of the throw, a screenshot of the main window beside it,
// shows the crash box and carries out the user's choice.
//
// One report at a time: a failure while a report is being made (the
// screenshot paints the window) or while its box is open (the box's event
// loop still delivers events to the window) adds one line to that report
// and nothing else: no second box, no recursion.

#include <QString>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>

#include "crash_box.h"
#include "process_launcher.h"

class QWidget;

namespace kestrin {

enum class FailureOrigin {
  EventLoop,  // caught at the event loop: "Continue" is offered
  Handler,    // caught around a slot, before Qt's frames: "Continue" too
  StartUp,    // caught while starting: the program ends afterwards
  Terminate,  // std::terminate: the program ends afterwards
};

enum class Ending {
  ExitZero,           // after an exception: exit code 0
  AbortWithDefault,   // after std::terminate: SIGABRT's default action (core dump)
};

class ExceptionReporter {
 public:
  ExceptionReporter(CrashBox& box, ProcessLauncher& launcher);

  // The window the screenshot shows; none: no screenshot.
  void SetWindowSource(std::function<QWidget*()> source) { windowSource_ = std::move(source); }
  void SetReportPath(std::filesystem::path path) { reportPath_ = std::move(path); }
  void SetRestartExecutable(QString executable) { restartExecutable_ = std::move(executable); }
  // How the process ends after "Close" or "Restart"; tests record instead.
  void SetEnding(std::function<void(Ending)> ending) { ending_ = std::move(ending); }

  // Reports `error` and shows the box. Returns only when the user chose
  // "Continue" (or when the ending handed in by a test returns), or at once
  // when another report is open.
  void Report(std::exception_ptr error, FailureOrigin origin);

  // The whole report for `error` (without the separator), as it is written.
  std::string BuildReport(std::exception_ptr error, FailureOrigin origin, const QString& screenshotPath) const;

 private:
  CrashBox& box_;
  ProcessLauncher& launcher_;
  std::function<QWidget*()> windowSource_;
  std::filesystem::path reportPath_;
  QString restartExecutable_;
  std::function<void(Ending)> ending_;

  // The report being made or shown, if any.
  void NoteLaterFailure(std::exception_ptr error);
  bool reporting_ = false;
  bool reportWritten_ = false;  // later failures go straight to the file
  int laterFailures_ = 0;
  std::string laterLines_;  // before the report is written
};

// The real ending: flushes the standard streams and ends the process.
void EndProcess(Ending ending);

// Routes std::terminate to `reporter` (null: back to the runtime's own).
// Process-wide, as std::set_terminate takes a plain function.
void InstallTerminateHandler(ExceptionReporter* reporter);

}  // namespace kestrin
