#pragma once
// Acts on a modal window while its own event loop runs: the test schedules
// what to press, then calls the code that shows the window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace kestrin::testing {

// Fails the test when it goes out of scope and the window never showed.
class [[nodiscard]] PendingWindow {
 public:
  PendingWindow(QTimer* timer, std::shared_ptr<bool> acted, std::string what)
      : timer_(timer), acted_(std::move(acted)), what_(std::move(what)) {}
  PendingWindow(const PendingWindow&) = delete;
  PendingWindow& operator=(const PendingWindow&) = delete;
  ~PendingWindow() {
    delete timer_.data();
    if (!*acted_) ADD_FAILURE() << what_ << " never showed";
  }

 private:
  QPointer<QTimer> timer_;
  std::shared_ptr<bool> acted_;
  std::string what_;
};

// Calls `act` once a shown top-level widget matches `matches`. When none
// shows within a few seconds, every modal window is closed so that the
// test ends.
inline PendingWindow WhenShown(std::function<bool(const QWidget&)> matches, std::function<void(QWidget&)> act,
                               std::string what = "the window") {
  auto* timer = new QTimer(qApp);
  auto acted = std::make_shared<bool>(false);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, acted, matches = std::move(matches), act = std::move(act)] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (!widget->isVisible() || !matches(*widget)) continue;
      timer->stop();
      *acted = true;
      act(*widget);
      timer->deleteLater();
      return;
    }
    if (++*tries < 500) return;
    timer->stop();
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  timer->start(10);
  return PendingWindow(timer, acted, std::move(what));
}

// The same for the top-level widget named `name`.
inline PendingWindow WhenShown(const QString& name, std::function<void(QWidget&)> act) {
  return WhenShown([name](const QWidget& widget) { return widget.objectName() == name; }, std::move(act),
                   name.toStdString());
}

}  // namespace kestrin::testing
