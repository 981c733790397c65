#pragma once
// The application object. Any exception that escapes an event handler ends
// here and goes to crash reporting, whose box lets the user go on with the
// next event, so one failing handler need not end the program.

#include <QApplication>
#include <QTemporaryDir>
#include <exception>
#include <utility>

#include "exception_reporter.h"

namespace kestrin {

class DialogService;

class KestrinApplication : public QApplication {
  Q_OBJECT
 public:
  KestrinApplication(int& argc, char** argv);

  // Where exceptions are reported. Without a reporter, their message is
  // shown in a plain box (or, without dialogs, written to stderr).
  void SetExceptionReporter(ExceptionReporter* reporter) { reporter_ = reporter; }
  void SetDialogs(DialogService* dialogs) { dialogs_ = dialogs; }

  bool notify(QObject* receiver, QEvent* event) override;

  // Hands `error` to the reporter; without one, shows its message (an empty
  // one for exceptions that carry none) with the program's name as title.
  void ShowException(std::exception_ptr error, FailureOrigin origin = FailureOrigin::EventLoop);

 private:
  ExceptionReporter* reporter_ = nullptr;
  DialogService* dialogs_ = nullptr;
  // Qt's file and colour dialogs keep a history in the user's settings; the
  // program stores nothing between runs, so they get a folder of their own
  // that goes away with the program.
  QTemporaryDir dialogSettings_;
};

void ShowUnhandledException(std::exception_ptr error);

// Runs `handler` so that no exception leaves it into Qt's own frames: Qt's
// widget libraries are built without exception support, so unwinding
// through them skips their clean-up (a QAction leaks the guard it holds
// while it emits). An exception is shown by the application object as any
// other, or printed on standard error where the application is a plain one.
template <typename Handler>
auto CatchingExceptions(Handler handler) {
  return [handler = std::move(handler)] {
    try {
      handler();
    } catch (...) {
      ShowUnhandledException(std::current_exception());
    }
  };
}

}  // namespace kestrin
