#pragma once
// TMainWindow: the program's one window. It owns the editing state, the
// editor settings, the status line and every page.

#include <QMainWindow>
#include <memory>

#include "cell_table.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"

class QTabWidget;
class QAction;
class QMenu;

namespace kestrin {

class DialogService;
class StatusLine;
class SongPage;
class Square1Page;
class Square2Page;
class OptionsPage;
class EditModeGroup;
class NotePropertiesGroup;
class FileCommands;

class TMainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainWindow(DialogService& dialogs, QWidget* parent = nullptr);
  ~TMainWindow() override;

  void FormActivate();
  void FormDestroy();
  void Open1Click();
  void Save1Click();
  void SaveAs1Click();
  void Exit1Click();

  EditingState& State() { return state_; }
  EditorSettings& Settings() { return settings_; }
  EditHistory& History() { return history_; }

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void BuildMenu();
  void BuildPages();
  // Shows the image and the buffers again after an undo, a redo or a
  // write-back joined to the last step, and after an undo or redo the
  // step's place, and says on the status line what was undone or redone.
  void ShowUndoneState(const StepShown& shown);
  // The step was made in the part loaded now, or (for an edit of a song)
  // in the song the song page shows.
  bool OnView(const EditPlace& place) const;
  // Shows the page of the step's place with its cell or box current.
  void ShowPlace(const EditPlace& place, std::span<const ByteChange> changes);
  // The grid on view updates the cells `changes` names.
  void ShowChangedCells(std::span<const ByteChange> changes);
  // Keeps the outer window, frame included, at least at its minimum size.
  void UpdateMinimumSize();

  EditingState state_;
  EditorSettings settings_;
  CellTable cells_;
  EditHistory history_{state_};
  StatusLine* StatusBar_;
  EditorContext context_;
  std::unique_ptr<FileCommands> fileCommands_;
  bool welcomed_ = false;

  QMenu* File1_ = nullptr;
  QAction* Open1_ = nullptr;
  QAction* Save1_ = nullptr;
  QAction* SaveAs1_ = nullptr;
  QAction* N1_ = nullptr;
  QAction* Exit1_ = nullptr;
  QMenu* Edit1_ = nullptr;
  QAction* Undo1_ = nullptr;
  QAction* Redo1_ = nullptr;

  QTabWidget* PC_ChannelSelect_ = nullptr;
  SongPage* T_Song_ = nullptr;
  Square1Page* T_Square1_ = nullptr;
  Square2Page* T_Square2_ = nullptr;
  QWidget* T_Triangle_ = nullptr;
  QWidget* T_Noise_ = nullptr;
  QWidget* T_DMC_ = nullptr;
  OptionsPage* T_Options_ = nullptr;
  EditModeGroup* GroupBox8_ = nullptr;
  NotePropertiesGroup* GroupBox7_ = nullptr;
};

}  // namespace kestrin
