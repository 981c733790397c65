#pragma once
// Group boxes keep their layout sizes, which were drawn for a narrow 8-point
// font; where the platform's font or style is wider, a box grows just
// enough to show its captions whole instead of cutting them off.

class QGroupBox;

namespace kestrin {

// Widens `group` so that its title and every label and check box inside it
// fit, keeping `rightMargin` pixels after the widest one; a control that
// sits right of a caption in the same row moves out of its way. Never makes
// anything narrower, and the group keeps the width as its minimum.
void WidenToFitText(QGroupBox& group, int rightMargin = 4);

// Moves `right` so that it starts at least `gap` pixels after `left` ends.
void KeepAfter(const QGroupBox& left, QGroupBox& right, int gap);

}  // namespace kestrin
