#include "edit_mode_group.h"

#include <QToolButton>

namespace kestrin {

EditModeGroup::EditModeGroup(EditorContext& context, QWidget* parent)
    : QGroupBox(QStringLiteral(" Edit Mode "), parent),
      context_(context),
      NoteButton_(new QToolButton(this)),
      MuteButton_(new QToolButton(this)),
      PropButton_(new QToolButton(this)) {
  setObjectName(QStringLiteral("GroupBox8"));
}

void EditModeGroup::NoteButtonClick() {}
void EditModeGroup::MuteButtonClick() {}
void EditModeGroup::PropButtonClick() {}

}  // namespace kestrin
