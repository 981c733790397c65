#pragma once
// What the window's backing store holds for `part` once pending paints are
// done: the pixels as painted, not repainted for the grab.

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace kestrin {

inline QImage HeldOnScreen(QWidget& window, QWidget& part) {
  QApplication::processEvents();
  const QPoint at = part.mapTo(&window, QPoint(0, 0));
  const QPixmap held = window.screen()->grabWindow(window.winId(), at.x(), at.y(), part.width(), part.height());
  return held.toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace kestrin
