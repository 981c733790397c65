#pragma once
// The program's dialogs: Qt's real message boxes, file dialogs and colour
// dialog behind the DialogService interface.

#include "dialog_service.h"

namespace kestrin {

class QtDialogService final : public DialogService {
 public:
  MessageAnswer ShowMessage(const QString& text, const QString& title, MessageStyle style) override;
  std::optional<QString> AskOpenFileName(const FileDialogRequest& request) override;
  std::optional<QString> AskSaveFileName(const FileDialogRequest& request) override;
  std::optional<QColor> AskColor(const QColor& initial) override;
};

}  // namespace kestrin
