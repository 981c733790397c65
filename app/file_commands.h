#pragma once
// File > Open, Save and Save as: moving the ROM image between the disk and
// memory, with the backup question and every message the user sees.

#include <QString>
#include <functional>
#include <string>

#include "dialog_service.h"
#include "disk_record.h"

namespace kestrin {

struct EditorContext;

class FileCommands {
 public:
  using CaptionSetter = std::function<void(const QString&)>;

  FileCommands(EditorContext& context, CaptionSetter setCaption);

  void Open();
  void Save();
  void SaveAs();

 private:
  enum class WriteResult { Failed, Written, WrittenNotSynced };

  // Write-back, then the image writer; shows the box of the step that
  // failed.
  WriteResult WriteImageTo(const std::string& path);
  // Whether writing to `path` may go ahead: tells of recovery files of the
  // written file, then asks when the write would replace a file this editor
  // did not write, or one another program changed (or that cannot be read
  // to tell); asks again when the file changes while a question is open.
  bool MayWrite(const std::string& path, SaveKind kind);
  MessageAnswer Ask(const SaveCheck& check);
  void TellOfRecoveryFiles(const std::string& path);
  void WarnNotSynced(const std::string& path);
  void ReportBackup(const std::string& openedPath);

  EditorContext& context_;
  CaptionSetter setCaption_;
};

}  // namespace kestrin
