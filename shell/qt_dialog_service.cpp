#include "qt_dialog_service.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace kestrin {

namespace {

int RunMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                  QMessageBox::StandardButtons buttons,
                  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
  QMessageBox box(icon, title, text, buttons, QApplication::activeWindow());
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  // Paths and exception messages are shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

}  // namespace

// The filters name "*.*" for every file, as the file systems they were
// written for read it; here that pattern would hide names without a dot.
// Each entry keeps its text on screen and gets the patterns this platform
// needs in a second, hidden pair of parentheses.
QStringList PlatformNameFilters(const QString& filter) {
  QStringList entries;
  for (const QString& entry : filter.split(QStringLiteral(";;"))) {
    const qsizetype open = entry.lastIndexOf(u'(');
    const qsizetype close = entry.lastIndexOf(u')');
    if (open < 0 || close < open) {
      entries << entry;
      continue;
    }
    QStringList patterns = entry.mid(open + 1, close - open - 1).split(u' ', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    }
    entries << entry + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return entries;
}


MessageAnswer QtDialogService::ShowMessage(const QString& text, const QString& title,
                                           MessageStyle style) {
  switch (style) {
    case MessageStyle::YesNoQuestion:
      return RunMessageBox(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No) ==
                     QMessageBox::Yes
                 ? MessageAnswer::Yes
                 : MessageAnswer::No;
    case MessageStyle::YesNoWarningNoByDefault:
      return RunMessageBox(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                           QMessageBox::No) == QMessageBox::Yes
                 ? MessageAnswer::Yes
                 : MessageAnswer::No;
    case MessageStyle::OkError:
      RunMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok);
      return MessageAnswer::Ok;
    case MessageStyle::OkWarning:
      RunMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok);
      return MessageAnswer::Ok;
  }
  return MessageAnswer::Ok;
}

namespace {

// A file dialog that starts with an empty name box and the first filter
// entry selected, and returns the chosen path or nothing.
std::optional<QString> RunFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(PlatformNameFilters(request.filter));
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
  // The dialog would ask about the name as typed, while the program may
  // write that name with ".nes" added; the file commands ask about the file
  // really written.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  return RunFileDialog(dialog, request);
}

std::optional<QColor> QtDialogService::AskColor(const QColor& initial) {
  const QColor color = QColorDialog::getColor(initial, QApplication::activeWindow());
  if (!color.isValid()) return std::nullopt;
  return color;
}

}  // namespace kestrin
