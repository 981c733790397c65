#pragma once
// The group " Edit Mode ": three toggle buttons, one down at a time, that
// choose what a Square 1 click writes.

#include <QGroupBox>

class QToolButton;

namespace kestrin {

struct EditorContext;

class EditModeGroup : public QGroupBox {
  Q_OBJECT
 public:
  EditModeGroup(EditorContext& context, QWidget* parent = nullptr);

  void NoteButtonClick();
  void MuteButtonClick();
  void PropButtonClick();

 private:
  EditorContext& context_;
  QToolButton* NoteButton_;
  QToolButton* MuteButton_;
  QToolButton* PropButton_;
};

}  // namespace kestrin
