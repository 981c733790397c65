#pragma once
// A scroll bar that repaints for a new value only when its slider moves by
// at least a pixel. Over a grid millions of pixels wide, a scroll by one
// column leaves the slider where it was, and repainting the bar would cost
// about as much as the edit that scrolled.

#include <QRect>
#include <QScrollBar>

namespace kestrin {

class SteadyScrollBar : public QScrollBar {
 public:
  explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect SliderRect() const;

  QRect paintedSlider_;
};

}  // namespace kestrin
