#pragma once
// The undo history of the editing state. Every user change runs through
// Record, which keeps what the write path recorded while it ran
// (model/write_path.h) as one step of a QUndoStack, named after the edit
// and its place; undo puts the old bytes back through the write path, redo
// the new ones, and both then let the window show where.

#include <QString>
#include <QUndoStack>
#include <functional>
#include <span>
#include <vector>

#include "byte_change.h"
#include "edit_place.h"

namespace kestrin {

struct EditingState;
struct EditorContext;

// Boxes whose keystrokes each write the image: the keystrokes of one typing
// session in one box become one step.
enum class TypingBox { None = 0, Tempo, PartAddress, Square2Offset, TriangleOffset, NoiseOffset, DmcOffset };

// What the window is told after the history changed bytes by itself.
struct StepShown {
  enum class Kind {
    Undone,
    Redone,
    Joined,  // a write-back joined the last step (Save, choosing a part)
  };
  Kind kind = Kind::Undone;
  QString text;  // the step's name and place; empty for Joined
  EditPlace place;
  std::span<const ByteChange> changes;  // as they were just made
};

class EditHistory {
 public:
  explicit EditHistory(EditingState& state);

  QUndoStack& Stack() { return stack_; }

  // Runs `edit` and keeps what it changed as one step named `name` at
  // `place`; returns the changes, each byte once. A step that changed
  // nothing is not kept.
  std::vector<ByteChange> Record(const QString& name, const EditPlace& place, const std::function<void()>& edit,
                                 TypingBox box = TypingBox::None);
  // Runs `writeBack`, a write-back that is no edit of its own (saving,
  // choosing another part). The bytes it stores were edited by the steps
  // done so far; it joins them to the last one, so undoing that step puts
  // them back too.
  void RecordIntoLastStep(const std::function<void()>& writeBack);
  // The user left a box: its next keystroke starts a new step.
  void EndTyping() { ++typingSession_; }
  // Forgets every step and the loaded part (another file was opened).
  void Clear();

  // The part the channel pages and the header boxes edit, as the song page
  // loaded it; steps made there carry it as their place.
  void PartLoaded(const SongLine& part) { loadedPart_ = part; }
  const SongLine& LoadedPart() const { return loadedPart_; }

  // The changes of step `index` of the stack (0 is the oldest).
  std::span<const ByteChange> StepChanges(int index) const;

  // Who shows the state again after an undo, a redo or a joined write-back.
  void SetShow(std::function<void(const StepShown&)> show) { show_ = std::move(show); }

 private:
  friend class ByteStep;
  void Applied(const StepShown& shown);

  EditingState& state_;
  QUndoStack stack_;
  std::function<void(const StepShown&)> show_;
  SongLine loadedPart_;
  QString lastText_;
  int typingSession_ = 0;
};

// Runs `edit` as a step of the context's history, or plainly when the
// context has none (pages tested on their own); returns what it changed,
// each byte once, either way.
std::vector<ByteChange> RecordEdit(EditorContext& context, const QString& name, const EditPlace& place,
                                   const std::function<void()>& edit, TypingBox box = TypingBox::None);
void RecordIntoLastStep(EditorContext& context, const std::function<void()>& writeBack);

// The place of an edit of the loaded part in control `control` (a literal),
// at a grid cell or none.
EditPlace LoadedPartPlace(const EditorContext& context, const char* control, int column = -1, int row = -1);

}  // namespace kestrin
