#pragma once
// The part list: one line per entry, single selection. A line stays
// selected until another one is chosen (clicks on blank space or with Ctrl
// never clear it), and clicking the selected line again reports that too,
// so the user can reload a part after changing its header.

#include <QListWidget>

namespace kestrin {

class PartListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit PartListBox(QWidget* parent = nullptr);

 Q_SIGNALS:
  // The mouse was pressed and released on the line that already was the
  // selected one (no selection change reports it).
  void SelectedLineClicked();

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int pressedSelectedRow_ = -1;
};

}  // namespace kestrin
