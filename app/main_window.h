#pragma once
// TMainWindow: the program's one window. It owns the editing state, the
// editor settings, the status line and every page.

#include <QMainWindow>

#include "cell_table.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"

class QTabWidget;
class QAction;

namespace kestrin {

class DialogService;
class StatusLine;
class SongPage;
class Square1Page;
class Square2Page;
class OptionsPage;
class EditModeGroup;
class NotePropertiesGroup;

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

 private:
  EditingState state_;
  EditorSettings settings_;
  CellTable cells_;
  StatusLine* StatusBar_;
  EditorContext context_;
  QTabWidget* PC_ChannelSelect_;
  SongPage* T_Song_;
  Square1Page* T_Square1_;
  Square2Page* T_Square2_;
  QWidget* T_Triangle_;
  QWidget* T_Noise_;
  QWidget* T_DMC_;
  OptionsPage* T_Options_;
  EditModeGroup* GroupBox8_;
  NotePropertiesGroup* GroupBox7_;
};

}  // namespace kestrin
