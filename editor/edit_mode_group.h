#pragma once
// The group " Edit Mode ": three toggle buttons, one down at a time, that
// choose what a Square 1 click writes.

#include <QGroupBox>
#include <QString>

class QToolButton;

namespace kestrin {

struct EditorContext;

inline const QString kNoteModeText = QStringLiteral("Note editing mode.");
inline const QString kMuteModeText = QStringLiteral("Mute editing mode.");
inline const QString kPropModeText = QStringLiteral("Note properties editing mode.");
// What each button writes, shown when the pointer rests on it.
inline const QString kNoteButtonTip = QStringLiteral("Note");
inline const QString kMuteButtonTip = QStringLiteral("Rest (silence)");
inline const QString kPropButtonTip = QStringLiteral("Note properties");

class EditModeGroup : public QGroupBox {
  Q_OBJECT
 public:
  EditModeGroup(EditorContext& context, QWidget* parent = nullptr);

  void NoteButtonClick();
  void MuteButtonClick();
  void PropButtonClick();

 private:
  QToolButton* MakeButton(const char* name, int left, const QImage& picture, const QString& tip);

  EditorContext& context_;
  QToolButton* NoteButton_;
  QToolButton* MuteButton_;
  QToolButton* PropButton_;
};

}  // namespace kestrin
