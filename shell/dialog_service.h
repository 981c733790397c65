#pragma once
// Every modal dialog of the program goes through this interface: the
// program passes Qt's real dialogs (QtDialogService), tests a scripted fake.

#include <QColor>
#include <QString>
#include <optional>

namespace kestrin {

enum class MessageStyle {
  YesNoQuestion,  // Yes and No buttons, question icon
  OkError,        // OK button, error icon
  OkWarning,      // OK button, warning icon
  // Yes and No buttons, warning icon, No is the default button: for
  // questions where Yes can lose data.
  YesNoWarningNoByDefault,
};

enum class MessageAnswer { Yes, No, Ok };

struct FileDialogRequest {
  QString filter;  // Qt form: "NES files (*.nes);;All Files (*.*)"
};

class DialogService {
 public:
  virtual ~DialogService() = default;

  virtual MessageAnswer ShowMessage(const QString& text, const QString& title,
                                    MessageStyle style) = 0;
  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<QString> AskOpenFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<QString> AskSaveFileName(const FileDialogRequest& request) = 0;
  // The confirmed colour, or nothing when the user cancelled.
  virtual std::optional<QColor> AskColor(const QColor& initial) = 0;
};

}  // namespace kestrin
