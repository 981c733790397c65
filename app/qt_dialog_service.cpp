#include "qt_dialog_service.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace kestrin {

MessageAnswer QtDialogService::ShowMessage(const QString& text, const QString& title,
                                           MessageStyle style) {
  QWidget* parent = QApplication::activeWindow();
  switch (style) {
    case MessageStyle::YesNoQuestion:
      return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
                     QMessageBox::Yes
                 ? MessageAnswer::Yes
                 : MessageAnswer::No;
    case MessageStyle::OkError:
      QMessageBox::critical(parent, title, text, QMessageBox::Ok);
      return MessageAnswer::Ok;
    case MessageStyle::OkWarning:
      QMessageBox::warning(parent, title, text, QMessageBox::Ok);
      return MessageAnswer::Ok;
  }
  return MessageAnswer::Ok;
}

std::optional<QString> QtDialogService::AskOpenFileName(const FileDialogRequest& request) {
  const QString path =
      QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(), request.filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtDialogService::AskSaveFileName(const FileDialogRequest& request) {
  const QString path =
      QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), QString(), request.filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QColor> QtDialogService::AskColor(const QColor& initial) {
  const QColor color = QColorDialog::getColor(initial, QApplication::activeWindow());
  if (!color.isValid()) return std::nullopt;
  return color;
}

}  // namespace kestrin
