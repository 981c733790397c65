#pragma once
// Where the window's top-level children sit for a client area of W by H
// pixels (H includes the status line, which the window itself keeps at the
// bottom). The page control takes what the two groups and the status line
// leave; the groups keep their size and their distance from the bottom edge.

#include <QRect>
#include <QSize>

namespace kestrin {

inline constexpr QSize kStartClientSize{600, 400};
inline constexpr QPoint kStartPosition{283, 228};
// The smallest outer window, frame included.
inline constexpr QSize kMinimumOuterSize{450, 400};
inline constexpr int kStatusLineHeight = 19;

struct ClientLayout {
  QRect pages;        // PC_ChannelSelect
  QRect editMode;     // GroupBox8
  QRect noteProps;    // GroupBox7
};

constexpr ClientLayout LayOutClient(int width, int height) {
  return ClientLayout{
      QRect(0, 0, width, height - 95),
      QRect(4, height - 88, 129, 65),
      QRect(139, height - 88, 190, 65),
  };
}

}  // namespace kestrin
