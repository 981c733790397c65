#pragma once
// The application object. Any exception that escapes an event handler ends
// here and goes to crash reporting, whose box lets the user go on with the
// next event, so one failing handler need not end the program. Slots hand
// theirs over before they reach Qt (guarded_slot.h).

#include <QApplication>
#include <QTemporaryDir>
#include <exception>
#include <functional>
#include <utility>

#include "exception_reporter.h"
#include "guarded_slot.h"

namespace kestrin {

class DialogService;

class KestrinApplication : public QApplication, public HandlerFailureSink {
  Q_OBJECT
 public:
  KestrinApplication(int& argc, char** argv);

  // Where exceptions are reported. Without a reporter, their message is
  // shown in a plain box (or, without dialogs, written to stderr).
  void SetExceptionReporter(ExceptionReporter* reporter) { reporter_ = reporter; }
  void SetDialogs(DialogService* dialogs) { dialogs_ = dialogs; }

  // Runs after every event the application delivers: the program copies the
  // editor's facts for the fatal-signal handler here.
  void SetAfterEachEvent(std::function<void()> afterEachEvent) { afterEachEvent_ = std::move(afterEachEvent); }

  bool notify(QObject* receiver, QEvent* event) override;
  void HandlerFailed(std::exception_ptr error) override;

  // Hands `error` to the reporter; without one, shows its message (an empty
  // one for exceptions that carry none) with the program's name as title.
  void ShowException(std::exception_ptr error, FailureOrigin origin = FailureOrigin::EventLoop);

 private:
  ExceptionReporter* reporter_ = nullptr;
  DialogService* dialogs_ = nullptr;
  std::function<void()> afterEachEvent_;
  // Qt's file and colour dialogs keep a history in the user's settings; the
  // program stores nothing between runs, so they get a folder of their own
  // that goes away with the program.
  QTemporaryDir dialogSettings_;
};

}  // namespace kestrin
