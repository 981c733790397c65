#include "group_fit.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

namespace kestrin {

namespace {

// Room between a caption and the control after it.
constexpr int kCaptionGap = 4;

bool IsCaption(const QWidget* widget) {
  return qobject_cast<const QLabel*>(widget) != nullptr ||
         qobject_cast<const QAbstractButton*>(widget) != nullptr;
}

bool SameRow(const QWidget& a, const QWidget& b) {
  return a.y() < b.y() + b.height() && b.y() < a.y() + a.height();
}

}  // namespace

void WidenToFitText(QGroupBox& group, int rightMargin) {
  const QList<QWidget*> children = group.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  // Controls right of a caption in their row move out of its way, all by
  // the same amount so that a column of them stays aligned.
  int shift = 0;
  QList<QWidget*> rightOfCaptions;
  for (QWidget* caption : children) {
    if (!IsCaption(caption)) continue;
    const int wanted = caption->sizeHint().width();
    if (wanted > caption->width()) caption->resize(wanted, caption->height());
    for (QWidget* other : children) {
      if (other == caption || other->x() <= caption->x() || !SameRow(*caption, *other)) continue;
      shift = std::max(shift, caption->x() + wanted + kCaptionGap - other->x());
      if (!rightOfCaptions.contains(other)) rightOfCaptions << other;
    }
  }
  if (shift > 0) {
    for (QWidget* other : rightOfCaptions) other->move(other->x() + shift, other->y());
  }
  // The style tells how wide the box must be to show its title whole.
  int needed = std::max(group.width(), group.minimumSizeHint().width());
  for (const QWidget* child : children) {
    const int width = IsCaption(child) ? child->sizeHint().width() : child->width();
    needed = std::max(needed, child->x() + width + rightMargin);
  }
  group.setMinimumWidth(needed);
  group.resize(needed, group.height());
}

void KeepAfter(const QGroupBox& left, QGroupBox& right, int gap) {
  right.move(std::max(right.x(), left.x() + left.width() + gap), right.y());
}

}  // namespace kestrin
