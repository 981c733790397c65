#include "group_fit.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

namespace kestrin {

void WidenToFitText(QGroupBox& group, int rightMargin) {
  int needed = group.width();
  for (QWidget* child : group.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (qobject_cast<QLabel*>(child) == nullptr && qobject_cast<QAbstractButton*>(child) == nullptr) continue;
    const int right = child->x() + child->sizeHint().width() + rightMargin;
    if (right > child->x() + child->width()) child->resize(child->sizeHint().width(), child->height());
    needed = std::max(needed, right);
  }
  group.resize(needed, group.height());
}

void KeepAfter(const QGroupBox& left, QGroupBox& right, int gap) {
  right.move(std::max(right.x(), left.x() + left.width() + gap), right.y());
}

}  // namespace kestrin
