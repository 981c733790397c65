#include "edit_history.h"

#include <QUndoCommand>

#include "byte_changes.h"
#include "editing_state.h"
#include "editor_context.h"
#include "write_path.h"

namespace kestrin {

// One step: the bytes an edit changed, old and new, and where it was made.
class ByteStep : public QUndoCommand {
 public:
  ByteStep(EditHistory& history, const QString& text, const EditPlace& place, std::vector<ByteChange> changes,
           TypingBox box, int session)
      : QUndoCommand(text),
        history_(history),
        place_(place),
        changes_(std::move(changes)),
        box_(box),
        session_(session) {}

  void undo() override {
    Recording applied(history_.state_);
    ApplyBefore(history_.state_, changes_);
    history_.Applied({StepShown::Kind::Undone, text(), place_, applied.Changes()});
  }
  void redo() override {
    // The edit itself already made the change when the step was pushed.
    if (!std::exchange(pushed_, true)) return;
    Recording applied(history_.state_);
    ApplyAfter(history_.state_, changes_);
    history_.Applied({StepShown::Kind::Redone, text(), place_, applied.Changes()});
  }
  int id() const override { return box_ == TypingBox::None ? -1 : static_cast<int>(box_); }
  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const ByteStep*>(other);
    if (next->session_ != session_) return false;
    Append(next->changes_);
    // Typing back what was there leaves nothing to undo.
    setObsolete(changes_.empty());
    return true;
  }
  void Append(std::span<const ByteChange> more) {
    MergeChanges(changes_, more);
    changes_.shrink_to_fit();
  }
  std::span<const ByteChange> Changes() const { return changes_; }

 private:
  EditHistory& history_;
  EditPlace place_;
  std::vector<ByteChange> changes_;
  TypingBox box_;
  int session_;
  bool pushed_ = false;
};

namespace {

std::vector<ByteChange> Recorded(EditingState& state, const std::function<void()>& run) {
  Recording recording(state);
  run();
  return NetChanges(recording.Changes());
}

}  // namespace

EditHistory::EditHistory(EditingState& state) : state_(state) {
  // Every step is kept: a step costs a few hundred bytes.
  stack_.setUndoLimit(0);
}

std::vector<ByteChange> EditHistory::Record(const QString& name, const EditPlace& place,
                                            const std::function<void()>& edit, TypingBox box) {
  std::vector<ByteChange> changes = Recorded(state_, edit);
  if (changes.empty()) return changes;
  // A run of edits in one place shares one copy of its text.
  const QString text = StepText(name, place);
  if (text != lastText_) lastText_ = text;
  stack_.push(new ByteStep(*this, lastText_, place, changes, box, typingSession_));
  return changes;
}

void EditHistory::RecordIntoLastStep(const std::function<void()>& writeBack) {
  const std::vector<ByteChange> changes = Recorded(state_, writeBack);
  if (changes.empty()) return;
  if (stack_.index() > 0) {
    // Only ByteSteps are ever pushed.
    auto* last = const_cast<ByteStep*>(static_cast<const ByteStep*>(stack_.command(stack_.index() - 1)));
    last->Append(changes);
    // Whatever was typed before belongs to the step before this write-back.
    EndTyping();
  }
  // Bytes the write-back took over from the image change what a grid shows.
  if (show_) show_({StepShown::Kind::Joined, {}, {}, changes});
}

void EditHistory::Clear() {
  stack_.clear();
  loadedPart_ = {};
}

std::span<const ByteChange> EditHistory::StepChanges(int index) const {
  return static_cast<const ByteStep*>(stack_.command(index))->Changes();
}

void EditHistory::Applied(const StepShown& shown) {
  EndTyping();
  if (show_) show_(shown);
}

std::vector<ByteChange> RecordEdit(EditorContext& context, const QString& name, const EditPlace& place,
                                   const std::function<void()>& edit, TypingBox box) {
  if (context.history) return context.history->Record(name, place, edit, box);
  return Recorded(context.state, edit);
}

void RecordIntoLastStep(EditorContext& context, const std::function<void()>& writeBack) {
  if (context.history) {
    context.history->RecordIntoLastStep(writeBack);
  } else {
    writeBack();
  }
}

EditPlace LoadedPartPlace(const EditorContext& context, const char* control, int column, int row) {
  return EditPlace{context.history ? context.history->LoadedPart() : SongLine{}, control, column, row};
}

}  // namespace kestrin
