#include "app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace kestrin {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Drawn on a 48-unit canvas and scaled, so every size has the same shape.
  const qreal scale = size / 48.0;
  painter.scale(scale, scale);

  painter.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.5));
  painter.setBrush(QColor(0xF4, 0xF1, 0xE6));
  painter.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);

  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  // Note head: a tilted oval.
  painter.save();
  painter.translate(19, 34);
  painter.rotate(-22);
  painter.drawEllipse(QRectF(-8.5, -6, 17, 12));
  painter.restore();
  // Stem.
  painter.drawRect(QRectF(25, 9, 3.5, 25));
  // Flag.
  QPainterPath flag;
  flag.moveTo(28.5, 9);
  flag.cubicTo(31, 16, 39, 17, 36, 28);
  flag.cubicTo(36.5, 20, 32, 18, 28.5, 17);
  flag.closeSubpath();
  painter.drawPath(flag);
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int size : kAppIconSizes) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

}  // namespace kestrin
