#pragma once
// The application object. Any exception that escapes an event handler ends
// here: its message is shown in a modal box and the event loop goes on with
// the next event, so one failing handler does not end the program.

#include <QApplication>
#include <QTemporaryDir>
#include <exception>

namespace kestrin {

class DialogService;

class KestrinApplication : public QApplication {
  Q_OBJECT
 public:
  KestrinApplication(int& argc, char** argv);

  // Where exception messages are shown; without one they go to stderr.
  void SetDialogs(DialogService* dialogs) { dialogs_ = dialogs; }

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the message of `error` (an empty one for exceptions that carry
  // none) with the program's name as title.
  void ShowException(std::exception_ptr error);

 private:
  DialogService* dialogs_ = nullptr;
  // Qt's file and colour dialogs keep a history in the user's settings; the
  // program stores nothing between runs, so they get a folder of their own
  // that goes away with the program.
  QTemporaryDir dialogSettings_;
};

}  // namespace kestrin
