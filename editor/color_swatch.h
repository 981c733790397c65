#pragma once
// A colour swatch: a small rectangle filled with one colour and outlined in
// black. Pressing any mouse button on it emits Pressed().

#include <QColor>
#include <QString>
#include <QWidget>

namespace kestrin {

// The tooltip of a swatch with the caption `caption` ("Note color").
QString SwatchToolTip(const QString& caption);

class ColorSwatch : public QWidget {
  Q_OBJECT
 public:
  explicit ColorSwatch(QWidget* parent = nullptr);

  QColor Color() const { return color_; }
  void SetColor(const QColor& color);

 Q_SIGNALS:
  void Pressed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QColor color_{Qt::white};
};

}  // namespace kestrin
