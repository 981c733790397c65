#include "kestrin_application.h"

#include <QSettings>

#include <cstdio>

#include "dialog_service.h"
#include "shell_texts.h"

namespace kestrin {

namespace {

QString MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QString();
  }
}

}  // namespace

KestrinApplication::KestrinApplication(int& argc, char** argv) : QApplication(argc, argv) {
  if (dialogSettings_.isValid()) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dialogSettings_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dialogSettings_.path());
  }
}

bool KestrinApplication::notify(QObject* receiver, QEvent* event) {
  std::exception_ptr error;
  try {
    const bool handled = QApplication::notify(receiver, event);
    if (afterEachEvent_) afterEachEvent_();
    return handled;
  } catch (...) {
    error = std::current_exception();
  }
  // Shown outside the handler: the box runs an event loop of its own.
  ShowException(error);
  return false;
}

void KestrinApplication::HandlerFailed(std::exception_ptr error) { ShowException(error, FailureOrigin::Handler); }

void KestrinApplication::ShowException(std::exception_ptr error, FailureOrigin origin) {
  if (reporter_ != nullptr) {
    reporter_->Report(error, origin);
    return;
  }
  const QString message = MessageOf(error);
  if (dialogs_ == nullptr) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return;
  }
  dialogs_->ShowMessage(message, shell_texts::kProgramName, MessageStyle::OkError);
}

}  // namespace kestrin
