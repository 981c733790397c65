#pragma once
// Reports key presses and clicks of an edit box to the page's handlers
// without taking the events away from the box, so typing goes on normally.

#include <QObject>
#include <functional>

class QWidget;

namespace kestrin {

class BoxEvents : public QObject {
 public:
  using KeyHandler = std::function<void(int key)>;
  using ClickHandler = std::function<void()>;

  // Watches `box` for as long as it lives; either handler may be empty.
  BoxEvents(QWidget* box, KeyHandler onKey, ClickHandler onClick);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyHandler onKey_;
  ClickHandler onClick_;
};

// Enter from either the main keyboard or the keypad.
bool IsEnterKey(int key);

}  // namespace kestrin
