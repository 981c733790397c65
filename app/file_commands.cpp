#include "file_commands.h"

#include <QFile>
#include <QStringList>
#include <string>
#include <vector>

#include "atomic_file_write.h"
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
  TellOfRecoveryFiles(fsPath);
  std::string report;
  if (!LoadRom(context_.state, fsPath, &report)) {
    // Standard output is out of sight for a desktop launch, and the status
    // line's last message would tell of a file that is no longer current.
    if (report.ends_with('\n')) report.pop_back();
    context_.status.Set(QString::fromStdString(report));
    return;
  }
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
  const std::string path = context_.state.currentFileName;
  if (!MayWrite(path, SaveKind::Save)) return;
  const WriteResult written = WriteImageTo(path);
  if (written == WriteResult::Failed) return;
  RecordSaved(context_.state, path);
  context_.status.Set(shell_texts::kFileSaved);
  if (written == WriteResult::WrittenNotSynced) WarnNotSynced(ImageTargetPath(path));
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
  if (!MayWrite(path, SaveKind::SaveAs)) return;
  const WriteResult written = WriteImageTo(path);
  if (written == WriteResult::Failed) return;
  // This editor wrote the file: a later Save to it asks only when another
  // program changed it since.
  RecordSaved(context_.state, path);
  context_.status.Set(*chosen + shell_texts::kSavedSuffix);
  if (written == WriteResult::WrittenNotSynced) WarnNotSynced(ImageTargetPath(path));
}

void FileCommands::ReportBackup(const std::string& openedPath) {
  const BackupResult backup = WriteBackup(context_.state, openedPath);
  const QString backupPath = FromFileSystemPath(backup.path);
  switch (backup.outcome) {
    case BackupOutcome::Written:
      context_.status.Set(shell_texts::kBackupWritten.arg(backupPath));
      if (!backup.folderSynced) WarnNotSynced(backup.path);
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

bool FileCommands::MayWrite(const std::string& path, SaveKind kind) {
  TellOfRecoveryFiles(ImageTargetPath(path));
  SaveCheck check = CheckBeforeSaving(context_.state, path, kind);
  while (check.risk != SaveRisk::None) {
    if (Ask(check) != MessageAnswer::Yes) return false;
    // The answer is about the file as it stood when asked; another program
    // may have changed it while the question was open.
    if (StillAsChecked(check)) return true;
    check = CheckBeforeSaving(context_.state, path, kind);
  }
  return true;
}

MessageAnswer FileCommands::Ask(const SaveCheck& check) {
  const QString shown = FromFileSystemPath(check.target);
  QString question;
  switch (check.risk) {
    case SaveRisk::None:
      return MessageAnswer::Yes;
    case SaveRisk::ReplacesOtherFile:
      question = shell_texts::kReplaceQuestion.arg(shown);
      break;
    case SaveRisk::ChangedOnDisk:
      question = shell_texts::kChangedOnDiskQuestion.arg(shown);
      break;
    case SaveRisk::CannotCheck:
      question = shell_texts::kUncheckedOnDiskQuestion.arg(shown);
      break;
  }
  return context_.dialogs.ShowMessage(question, shell_texts::kWarningTitle, MessageStyle::YesNoWarningNoByDefault);
}

void FileCommands::TellOfRecoveryFiles(const std::string& path) {
  const std::vector<std::string> found = RecoveryFilesFor(path);
  if (found.empty()) return;
  QStringList shown;
  for (const std::string& recovery : found) shown << FromFileSystemPath(recovery);
  context_.dialogs.ShowMessage(shell_texts::kRecoveryFilesFound.arg(FromFileSystemPath(path), shown.join(u'\n')),
                               shell_texts::kWarningTitle, MessageStyle::OkWarning);
}

void FileCommands::WarnNotSynced(const std::string& path) {
  context_.dialogs.ShowMessage(shell_texts::kFolderNotSynced.arg(FromFileSystemPath(path)),
                               shell_texts::kWarningTitle, MessageStyle::OkWarning);
}

FileCommands::WriteResult FileCommands::WriteImageTo(const std::string& path) {
  bool stored = false;
  RecordIntoLastStep(context_, [&] { stored = WriteBack(context_.state); });
  if (!stored) {
    context_.dialogs.ShowMessage(shell_texts::kTransferFailed, shell_texts::kTransferFailedTitle,
                                 MessageStyle::OkError);
    return WriteResult::Failed;
  }
  const ReplaceResult result = SaveImage(context_.state, path);
  switch (result.outcome) {
    case ReplaceOutcome::Written:
      return WriteResult::Written;
    case ReplaceOutcome::WrittenFolderNotSynced:
      return WriteResult::WrittenNotSynced;
    case ReplaceOutcome::ShortWriteNotRestored:
      context_.dialogs.ShowMessage(shell_texts::kWriteNotRestored.arg(FromFileSystemPath(ImageTargetPath(path)),
                                                                      FromFileSystemPath(result.recoveryPath)),
                                   shell_texts::kWarningTitle, MessageStyle::OkError);
      return WriteResult::Failed;
    case ReplaceOutcome::CannotCreate:
    case ReplaceOutcome::ShortWrite:
      break;
  }
  context_.dialogs.ShowMessage(shell_texts::kWriteFailed, shell_texts::kWarningTitle, MessageStyle::OkError);
  return WriteResult::Failed;
}

}  // namespace kestrin
