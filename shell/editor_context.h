#pragma once
// What the pages of the main window share: the editing state, the editor
// settings, the dialogs and the status line. The window owns all four and
// hands each page this bundle of references.

namespace kestrin {

struct EditingState;
struct EditorSettings;
class DialogService;
class StatusLine;

struct EditorContext {
  EditingState& state;
  EditorSettings& settings;
  DialogService& dialogs;
  StatusLine& status;
};

}  // namespace kestrin
