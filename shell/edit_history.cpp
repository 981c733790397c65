#include "edit_history.h"

#include <QUndoCommand>

#include "editing_state.h"
#include "editor_context.h"

namespace kestrin {

// One step: the bytes an edit changed, old and new.
class ByteStep : public QUndoCommand {
 public:
  ByteStep(EditHistory& history, const QString& name, std::vector<ByteChange> changes, TypingBox box,
           int session)
      : QUndoCommand(name), history_(history), changes_(std::move(changes)), box_(box), session_(session) {}

  void undo() override {
    ApplyBefore(history_.state_, changes_);
    history_.Applied();
  }
  void redo() override {
    // The edit itself already made the change when the step was pushed.
    if (std::exchange(pushed_, true)) {
      ApplyAfter(history_.state_, changes_);
      history_.Applied();
    }
  }
  int id() const override { return box_ == TypingBox::None ? -1 : static_cast<int>(box_); }
  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const ByteStep*>(other);
    if (next->session_ != session_) return false;
    MergeChanges(changes_, next->changes_);
    changes_.shrink_to_fit();
    // Typing back what was there leaves nothing to undo.
    setObsolete(changes_.empty());
    return true;
  }
  void Append(std::span<const ByteChange> more) {
    MergeChanges(changes_, more);
    changes_.shrink_to_fit();
  }

 private:
  EditHistory& history_;
  std::vector<ByteChange> changes_;
  TypingBox box_;
  int session_;
  bool pushed_ = false;
};

EditHistory::EditHistory(EditingState& state) : state_(state) {
  // Every step is kept: a step costs a few dozen bytes.
  stack_.setUndoLimit(0);
}

void EditHistory::Record(const QString& name, const std::function<void()>& edit, TypingBox box) {
  TakeSnapshot(state_, snapshot_);
  edit();
  std::vector<ByteChange> changes = ChangesSince(snapshot_, state_);
  if (changes.empty()) return;
  changes.shrink_to_fit();
  stack_.push(new ByteStep(*this, name, std::move(changes), box, typingSession_));
}

void EditHistory::RecordIntoLastStep(const std::function<void()>& writeBack) {
  TakeSnapshot(state_, snapshot_);
  writeBack();
  const std::vector<ByteChange> changes = ChangesSince(snapshot_, state_);
  if (changes.empty() || stack_.index() == 0) return;
  // Only ByteSteps are ever pushed.
  auto* last = const_cast<ByteStep*>(static_cast<const ByteStep*>(stack_.command(stack_.index() - 1)));
  last->Append(changes);
  // Whatever was typed before belongs to the step before this write-back.
  EndTyping();
}

void EditHistory::Applied() {
  EndTyping();
  if (refresh_) refresh_();
}

void RecordEdit(EditorContext& context, const QString& name, const std::function<void()>& edit, TypingBox box) {
  if (context.history) {
    context.history->Record(name, edit, box);
  } else {
    edit();
  }
}

void RecordIntoLastStep(EditorContext& context, const std::function<void()>& writeBack) {
  if (context.history) {
    context.history->RecordIntoLastStep(writeBack);
  } else {
    writeBack();
  }
}

}  // namespace kestrin
