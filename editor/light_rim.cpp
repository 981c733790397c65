#include "light_rim.h"

#include <QColor>
#include <QPainter>

namespace kestrin {

QImage WithLightRim(const QImage& picture) {
  QImage rim = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  {
    QPainter p(&rim);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(rim.rect(), QColor(0xF0, 0xF0, 0xF0));
  }
  QImage result(picture.size(), QImage::Format_ARGB32_Premultiplied);
  result.fill(Qt::transparent);
  QPainter p(&result);
  for (const int dy : {-1, 0, 1}) {
    for (const int dx : {-1, 0, 1}) p.drawImage(QPoint(dx, dy), rim);
  }
  p.drawImage(QPoint(0, 0), picture);
  return result;
}

}  // namespace kestrin
