#include "steady_scroll_bar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace kestrin {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

QRect SteadyScrollBar::SliderRect() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
}

void SteadyScrollBar::sliderChange(SliderChange change) {
  // Range, step and orientation changes repaint as always.
  if (change == SliderValueChange && SliderRect() == paintedSlider_) return;
  QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
  QScrollBar::paintEvent(event);
  paintedSlider_ = SliderRect();
}

}  // namespace kestrin
