#include "file_commands.h"

#include <QFile>
#include <string>

#include "dialog_service.h"
#include "disk_record.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "part_streams.h"
#include "rom_file.h"
#include "shell_texts.h"
#include "status_line.h"

namespace kestrin {

namespace {

// The data layer takes paths as the file system's 8-bit names.
std::string ToFileSystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString FromFileSystemPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

FileCommands::FileCommands(EditorContext& context, CaptionSetter setCaption)
    : context_(context), setCaption_(std::move(setCaption)) {}

void FileCommands::Open() {
  const std::optional<QString> chosen =
      context_.dialogs.AskOpenFileName(FileDialogRequest{shell_texts::kOpenFilter});
  if (!chosen || chosen->isEmpty()) return;
  const QString& path = *chosen;
  const std::string fsPath = ToFileSystemPath(path);
  std::string report;
  if (!LoadRom(context_.state, fsPath, &report)) {
    // Standard output is out of sight for a desktop launch, and the status
    // line's last message would tell of a file that is no longer current.
    if (report.ends_with('\n')) report.pop_back();
    context_.status.Set(QString::fromStdString(report));
    return;
  }
  // The loaded part's buffers came from the previous image; a later
  // write-back must not carry them into this one.
  DropPart(context_.state);
  // Steps of the previous file would write its bytes into this one.
  if (context_.history) context_.history->Clear();

  context_.status.Set(path + shell_texts::kLoadedSuffix);
  if (context_.settings.askBackup &&
      context_.dialogs.ShowMessage(shell_texts::kBackupQuestion, shell_texts::kBackupTitle,
                                   MessageStyle::YesNoQuestion) == MessageAnswer::Yes) {
    ReportBackup(fsPath);
  }
  context_.state.currentFileName = fsPath;
  context_.state.fileLoaded = true;
  setCaption_(shell_texts::kCaptionFilePrefix + path);
}

void FileCommands::Save() {
  if (!context_.state.fileLoaded) {
    context_.status.Set(shell_texts::kOpenFirst);
    return;
  }
  const std::string& path = context_.state.currentFileName;
  if (!MayOverwrite(path) || !WriteImageTo(path)) return;
  RecordSaved(context_.state, path);
  context_.status.Set(shell_texts::kFileSaved);
}

void FileCommands::SaveAs() {
  if (!context_.state.fileLoaded) {
    context_.status.Set(shell_texts::kOpenFirst);
    return;
  }
  const std::optional<QString> chosen =
      context_.dialogs.AskSaveFileName(FileDialogRequest{shell_texts::kSaveFilter});
  if (!chosen) return;
  if (chosen->isEmpty()) {
    context_.dialogs.ShowMessage(shell_texts::kNoFileName, shell_texts::kWarningTitle,
                                 MessageStyle::OkError);
    return;
  }
  const std::string path = ToFileSystemPath(*chosen);
  if (!MayOverwrite(path) || !WriteImageTo(path)) return;
  // Saved over the opened file: later Saves compare with these bytes.
  if (IsRecordedFile(context_.state, path)) RecordSaved(context_.state, path);
  context_.status.Set(*chosen + shell_texts::kSavedSuffix);
}

void FileCommands::ReportBackup(const std::string& openedPath) {
  const BackupResult backup = WriteBackup(context_.state, openedPath);
  const QString backupPath = FromFileSystemPath(backup.path);
  switch (backup.outcome) {
    case BackupOutcome::Written:
      context_.status.Set(shell_texts::kBackupWritten.arg(backupPath));
      return;
    case BackupOutcome::AlreadyThere:
      context_.status.Set(shell_texts::kBackupNotNeeded.arg(backupPath));
      return;
    case BackupOutcome::Failed:
      // The user asked for a copy to fall back on: a silent failure would
      // let them edit their only copy believing they had two.
      context_.dialogs.ShowMessage(shell_texts::kBackupFailed + backupPath, shell_texts::kWarningTitle,
                                   MessageStyle::OkWarning);
      return;
  }
}

bool FileCommands::MayOverwrite(const std::string& path) {
  // Save as to any other file asks nothing here: its own dialog asks
  // before replacing a file.
  if (!ChangedOnDiskSinceRecorded(context_.state, path)) return true;
  const QString shown = FromFileSystemPath(ImageTargetPath(path));
  return context_.dialogs.ShowMessage(shell_texts::kChangedOnDiskQuestion.arg(shown), shell_texts::kWarningTitle,
                                      MessageStyle::YesNoWarningNoByDefault) == MessageAnswer::Yes;
}

bool FileCommands::WriteImageTo(const std::string& path) {
  bool stored = false;
  RecordIntoLastStep(context_, [&] { stored = WriteBack(context_.state); });
  if (!stored) {
    context_.dialogs.ShowMessage(shell_texts::kTransferFailed, shell_texts::kTransferFailedTitle,
                                 MessageStyle::OkError);
    return false;
  }
  if (!WriteImage(context_.state, path)) {
    context_.dialogs.ShowMessage(shell_texts::kWriteFailed, shell_texts::kWarningTitle,
                                 MessageStyle::OkError);
    return false;
  }
  return true;
}

}  // namespace kestrin
