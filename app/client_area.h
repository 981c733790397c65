#pragma once
// The window's central widget: places the page control and the two groups
// by the client layout whenever its size changes. The status line sits
// below it, so the layout height counts the status line in.

#include <QWidget>

namespace kestrin {

class ClientArea : public QWidget {
  Q_OBJECT
 public:
  explicit ClientArea(QWidget* parent = nullptr);

  void SetChildren(QWidget* pages, QWidget* editMode, QWidget* noteProps);
  // Places the children again, as after a group has grown.
  void Place();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:

  QWidget* pages_ = nullptr;
  QWidget* editMode_ = nullptr;
  QWidget* noteProps_ = nullptr;
};

}  // namespace kestrin
