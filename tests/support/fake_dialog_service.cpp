#include "fake_dialog_service.h"

namespace kestrin::testing {

namespace {
template <typename T, typename D>
T TakeFront(std::deque<T>& queue, D fallback) {
  if (queue.empty()) return fallback;
  T value = std::move(queue.front());
  queue.pop_front();
  return value;
}
}  // namespace

void FakeDialogService::ClearRecords() {
  messages_.clear();
  openRequests_.clear();
  saveRequests_.clear();
  colorRequests_.clear();
}

MessageAnswer FakeDialogService::ShowMessage(const QString& text, const QString& title,
                                             MessageStyle style) {
  messages_.push_back({text, title, style});
  if (const std::function<void()> whileOpen = TakeFront(whileOpen_, std::function<void()>{})) whileOpen();
  const MessageAnswer fallback =
      style == MessageStyle::YesNoQuestion || style == MessageStyle::YesNoWarningNoByDefault ? MessageAnswer::No
                                                                                             : MessageAnswer::Ok;
  return TakeFront(messageAnswers_, fallback);
}

std::optional<QString> FakeDialogService::AskOpenFileName(const FileDialogRequest& request) {
  openRequests_.push_back(request);
  return TakeFront(openAnswers_, std::optional<QString>{});
}

std::optional<QString> FakeDialogService::AskSaveFileName(const FileDialogRequest& request) {
  saveRequests_.push_back(request);
  return TakeFront(saveAnswers_, std::optional<QString>{});
}

std::optional<QColor> FakeDialogService::AskColor(const QColor& initial) {
  colorRequests_.push_back(initial);
  return TakeFront(colorAnswers_, std::optional<QColor>{});
}

}  // namespace kestrin::testing
