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

  EditorContext& context_;
  CaptionSetter setCaption_;
};

}  // namespace kestrin
