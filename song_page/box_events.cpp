#include "box_events.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "guarded_slot.h"

namespace kestrin {

BoxEvents::BoxEvents(QWidget* box, KeyHandler onKey, ClickHandler onClick)
    : QObject(box),
      onKey_(onKey ? KeyHandler(GuardedSlot(std::move(onKey))) : KeyHandler()),
      onClick_(onClick ? ClickHandler(GuardedSlot(std::move(onClick))) : ClickHandler()) {
  box->installEventFilter(this);
}

bool BoxEvents::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && onKey_) {
    onKey_(static_cast<QKeyEvent*>(event)->key());
  } else if (event->type() == QEvent::MouseButtonRelease && onClick_) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto* box = static_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && box->rect().contains(mouse->position().toPoint())) {
      onClick_();
    }
  }
  return false;
}

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace kestrin
