#pragma once
// What the pages of the main window share: the editing state, the editor
// settings, the dialogs, the status line and the undo history. The window
// owns them all and hands each page this bundle of references.

namespace kestrin {

struct EditingState;
struct EditorSettings;
class DialogService;
class StatusLine;
class EditHistory;

struct EditorContext {
  EditingState& state;
  EditorSettings& settings;
  DialogService& dialogs;
  StatusLine& status;
  // The window's undo history; pages tested on their own have none.
  EditHistory* history = nullptr;
};

}  // namespace kestrin
