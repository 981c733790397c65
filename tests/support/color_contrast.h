#pragma once
// Contrast ratio of two colours by their relative luminance, 1 (none) to 21
// (black on white), as accessibility guidelines measure readable text.

#include <QColor>
#include <algorithm>
#include <cmath>

namespace kestrin {

inline double Luminance(const QColor& color) {
  const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

inline double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace kestrin
