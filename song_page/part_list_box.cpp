#include "part_list_box.h"

#include <QMouseEvent>

namespace kestrin {

PartListBox::PartListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
}

QItemSelectionModel::SelectionFlags PartListBox::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
  // Blank space, or the line that is already selected: keep the selection.
  if (!index.isValid() || selectionModel()->isSelected(index)) return QItemSelectionModel::NoUpdate;
  return QListWidget::selectionCommand(index, event);
}

void PartListBox::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  pressedSelectedRow_ = index.isValid() && selectionModel()->isSelected(index) ? index.row() : -1;
  QListWidget::mousePressEvent(event);
}

void PartListBox::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool again = pressedSelectedRow_ >= 0 && index.isValid() && index.row() == pressedSelectedRow_;
  pressedSelectedRow_ = -1;
  if (again && event->button() == Qt::LeftButton) Q_EMIT SelectedLineClicked();
}

}  // namespace kestrin
