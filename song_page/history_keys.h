#pragma once
// Undo and redo keys pressed in an edit box of the page go to the window's
// history: every change the box made is a step there, while the box's own
// text undo would write its old text as yet another change.

class QWidget;

namespace kestrin {

void LeaveHistoryKeysToWindow(QWidget* box);

}  // namespace kestrin
