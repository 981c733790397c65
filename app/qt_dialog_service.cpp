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

namespace {

// A file dialog that starts with an empty name box and the first filter
// entry selected, and returns the chosen path or nothing.
std::optional<QString> RunFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setNameFilter(request.filter);
  dialog.selectFile(QString());
  // The name is taken exactly as typed: no extension is added.
  dialog.setDefaultSuffix(QString());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front();
}

}  // namespace

std::optional<QString> QtDialogService::AskOpenFileName(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return RunFileDialog(dialog, request);
}

std::optional<QString> QtDialogService::AskSaveFileName(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  return RunFileDialog(dialog, request);
}

std::optional<QColor> QtDialogService::AskColor(const QColor& initial) {
  const QColor color = QColorDialog::getColor(initial, QApplication::activeWindow());
  if (!color.isValid()) return std::nullopt;
  return color;
}

}  // namespace kestrin
