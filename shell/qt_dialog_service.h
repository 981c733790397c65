#pragma once
// The program's dialogs: Qt's real message boxes, file dialogs and colour
// dialog behind the DialogService interface.

#include "dialog_service.h"

#include <QStringList>

namespace kestrin {

// The name filters a file dialog of this platform gets for `filter`
// ("NES files (*.nes);;All Files (*.*)"): every entry keeps its text, and
// "*.*" (every file, where those filters come from) becomes "*".
QStringList PlatformNameFilters(const QString& filter);

class QtDialogService final : public DialogService {
 public:
  MessageAnswer ShowMessage(const QString& text, const QString& title, MessageStyle style) override;
  std::optional<QString> AskOpenFileName(const FileDialogRequest& request) override;
  std::optional<QString> AskSaveFileName(const FileDialogRequest& request) override;
  std::optional<QColor> AskColor(const QColor& initial) override;
};

}  // namespace kestrin
