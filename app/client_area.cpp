#include "client_area.h"

#include <algorithm>

#include "client_layout.h"

namespace kestrin {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ClientArea"));
}

void ClientArea::SetChildren(QWidget* pages, QWidget* editMode, QWidget* noteProps) {
  pages_ = pages;
  editMode_ = editMode;
  noteProps_ = noteProps;
  Place();
}

void ClientArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Place();
}

void ClientArea::Place() {
  if (pages_ == nullptr) return;
  const ClientLayout layout = LayOutClient(width(), height() + kStatusLineHeight);
  pages_->setGeometry(layout.pages);
  editMode_->setGeometry(layout.editMode);
  noteProps_->setGeometry(layout.noteProps);
  // A group widened for its captions pushes the one after it along.
  const int gap = layout.noteProps.left() - layout.editMode.right() - 1;
  noteProps_->move(std::max(noteProps_->x(), editMode_->geometry().right() + 1 + gap), noteProps_->y());
}

}  // namespace kestrin
