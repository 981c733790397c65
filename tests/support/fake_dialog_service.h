#pragma once
// A scripted stand-in for the program's dialogs. Each Ask/Show call takes
// the next scripted answer (or the default: cancel, OK/No) and is recorded,
// so no test ever blocks on a modal dialog.

#include <QColor>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "dialog_service.h"

namespace kestrin::testing {

struct ShownMessage {
  QString text;
  QString title;
  MessageStyle style;
};

class FakeDialogService final : public DialogService {
 public:
  // Scripting.
  void AnswerNextMessage(MessageAnswer answer) { messageAnswers_.push_back(answer); }
  // Runs `whileOpen` when the next message is shown, before it is answered
  // (as another program acting while the box is open).
  void WhileNextMessageIsOpen(std::function<void()> whileOpen) { whileOpen_.push_back(std::move(whileOpen)); }
  void ChooseOpenFile(std::optional<QString> path) { openAnswers_.push_back(std::move(path)); }
  void ChooseSaveFile(std::optional<QString> path) { saveAnswers_.push_back(std::move(path)); }
  void ChooseColor(std::optional<QColor> color) { colorAnswers_.push_back(color); }

  // What was shown.
  const std::vector<ShownMessage>& Messages() const { return messages_; }
  const std::vector<FileDialogRequest>& OpenRequests() const { return openRequests_; }
  const std::vector<FileDialogRequest>& SaveRequests() const { return saveRequests_; }
  const std::vector<QColor>& ColorRequests() const { return colorRequests_; }
  void ClearRecords();

  MessageAnswer ShowMessage(const QString& text, const QString& title, MessageStyle style) override;
  std::optional<QString> AskOpenFileName(const FileDialogRequest& request) override;
  std::optional<QString> AskSaveFileName(const FileDialogRequest& request) override;
  std::optional<QColor> AskColor(const QColor& initial) override;

 private:
  std::deque<MessageAnswer> messageAnswers_;
  std::deque<std::function<void()>> whileOpen_;
  std::deque<std::optional<QString>> openAnswers_;
  std::deque<std::optional<QString>> saveAnswers_;
  std::deque<std::optional<QColor>> colorAnswers_;
  std::vector<ShownMessage> messages_;
  std::vector<FileDialogRequest> openRequests_;
  std::vector<FileDialogRequest> saveRequests_;
  std::vector<QColor> colorRequests_;
};

}  // namespace kestrin::testing
