#pragma once
// File > Open, Save and Save as: moving the ROM image between the disk and
// memory, with the backup question and every message the user sees.

#include <QString>
#include <functional>
#include <string>

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
  // Write-back, then the image writer; shows the box of the step that
  // failed. True when the file was written.
  bool WriteImageTo(const std::string& path);
  // Whether writing to `path` may go ahead: asks first when another program
  // changed the file since it was opened or last saved.
  bool MayOverwrite(const std::string& path);
  void ReportBackup(const std::string& openedPath);

  EditorContext& context_;
  CaptionSetter setCaption_;
};

}  // namespace kestrin
