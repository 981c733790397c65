#pragma once
// The undo history of the editing state. Every user change to the image or
// the edit buffers runs through Record, which keeps the bytes it changed as
// one step of a QUndoStack; undo writes the old bytes back, redo the new
// ones, and both then let the window show the state again.

#include <QString>
#include <QUndoStack>
#include <functional>

#include "byte_changes.h"

namespace kestrin {

struct EditingState;
struct EditorContext;

// Boxes whose keystrokes each write the image: the keystrokes of one typing
// session in one box become one step.
enum class TypingBox { None = 0, Tempo, PartAddress, Square2Offset, TriangleOffset, NoiseOffset, DmcOffset };

class EditHistory {
 public:
  explicit EditHistory(EditingState& state);

  QUndoStack& Stack() { return stack_; }

  // Runs `edit` and keeps what it changed as one step named `name`. A step
  // that changed nothing is not kept.
  void Record(const QString& name, const std::function<void()>& edit, TypingBox box = TypingBox::None);
  // Runs `writeBack`, a write-back that is no edit of its own (saving,
  // choosing another part). The bytes it stores were edited by the steps
  // done so far; it joins them to the last one, so undoing that step puts
  // them back too.
  void RecordIntoLastStep(const std::function<void()>& writeBack);
  // The user left a box: its next keystroke starts a new step.
  void EndTyping() { ++typingSession_; }
  // Forgets every step (another file was opened).
  void Clear() { stack_.clear(); }

  // What shows the state again after an undo or redo.
  void SetRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

 private:
  friend class ByteStep;
  void Applied();

  EditingState& state_;
  QUndoStack stack_;
  EditSnapshot snapshot_;
  std::function<void()> refresh_;
  int typingSession_ = 0;
};

// Runs `edit` as a step of the context's history, or plainly when the
// context has none (pages tested on their own).
void RecordEdit(EditorContext& context, const QString& name, const std::function<void()>& edit,
                TypingBox box = TypingBox::None);
void RecordIntoLastStep(EditorContext& context, const std::function<void()>& writeBack);

}  // namespace kestrin
