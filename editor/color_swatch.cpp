#include "color_swatch.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestrin {

QString SwatchToolTip(const QString& caption) { return caption + QStringLiteral(": click to choose a color"); }

ColorSwatch::ColorSwatch(QWidget* parent) : QWidget(parent) {}

void ColorSwatch::SetColor(const QColor& color) {
  if (color_ == color) return;
  color_ = color;
  update();
}

void ColorSwatch::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(color_);
  // The outline sits on the last pixel row and column, so shrink by one.
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
  event->accept();
  Q_EMIT Pressed();
}

}  // namespace kestrin
