// The current cell of a grid that has keyboard focus carries a 1-pixel frame
// in the palette's highlight colour, inside the cell; read back from the
// rendered grid.
#include <QApplication>

#include "grid_fixture.h"

namespace kestrin::testing {
namespace {

class FocusFrame : public GridFixture {
 protected:
  void SetUp() override {
    QApplication::setActiveWindow(&window_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  // A highlight colour no cell is filled with.
  static constexpr QRgb kHighlight = 0xFF123456;

  static void UseHighlight(ChannelGrid& grid) {
    QPalette palette = grid.palette();
    palette.setColor(QPalette::Highlight, QColor::fromRgb(kHighlight));
    grid.setPalette(palette);
  }

  // Whether every pixel of the cell's outermost ring is the highlight, and
  // whether any pixel just inside the ring is.
  struct Ring {
    bool framed = true;
    bool insideTouched = false;
  };
  static Ring ReadRing(ChannelGrid& grid, GridCell cell) {
    const auto rect = grid.VisibleCellRect(cell.column, cell.row);
    EXPECT_TRUE(rect.has_value());
    if (!rect) return {false, false};
    const QImage image = grid.viewport()->grab().toImage();
    Ring ring;
    for (int x = rect->left(); x <= rect->right(); ++x) {
      for (int y = rect->top(); y <= rect->bottom(); ++y) {
        const bool edge = x == rect->left() || x == rect->right() || y == rect->top() || y == rect->bottom();
        const bool highlight = image.pixel(x, y) == kHighlight;
        const bool nextToEdge = x == rect->left() + 1 || x == rect->right() - 1 || y == rect->top() + 1 ||
                                y == rect->bottom() - 1;
        if (edge && !highlight) ring.framed = false;
        if (!edge && nextToEdge && highlight) ring.insideTouched = true;
      }
    }
    return ring;
  }
};

TEST_F(FocusFrame, CurrentCellIsFramedWhileTheGridHasFocus) {
  LoadStreams({0x84, 0x30, 0x7E, 0x32, 0x00});
  ShowSquare1();
  ChannelGrid& grid = Grid1();
  UseHighlight(grid);
  grid.SetCurrentCell({3, 5});
  grid.setFocus();
  ASSERT_TRUE(grid.hasFocus());

  const Ring current = ReadRing(grid, {3, 5});
  EXPECT_TRUE(current.framed);
  EXPECT_FALSE(current.insideTouched);  // one pixel wide
  EXPECT_FALSE(ReadRing(grid, {4, 5}).framed);
  EXPECT_FALSE(ReadRing(grid, {3, 6}).framed);

  // The keyboard moves the frame with the current cell.
  QTest::keyClick(&grid, Qt::Key_Right);
  EXPECT_TRUE(ReadRing(grid, {4, 5}).framed);
  EXPECT_FALSE(ReadRing(grid, {3, 5}).framed);
}

TEST_F(FocusFrame, NoFrameWithoutFocus) {
  LoadStreams({0x84, 0x30, 0x7E, 0x32, 0x00});
  ShowSquare1();
  ChannelGrid& grid = Grid1();
  UseHighlight(grid);
  grid.SetCurrentCell({2, 5});
  grid.setFocus();
  ASSERT_TRUE(ReadRing(grid, {2, 5}).framed);
  grid.clearFocus();
  EXPECT_FALSE(ReadRing(grid, {2, 5}).framed);
}

TEST_F(FocusFrame, Square2GridFramesItsCurrentCellToo) {
  LoadStreams({0x84, 0x00}, {0x84, 0x30, 0x7E});
  ShowSquare2();
  ChannelGrid& grid = Grid2();
  UseHighlight(grid);
  grid.SetCurrentCell({2, 12});
  grid.setFocus();
  EXPECT_TRUE(ReadRing(grid, {2, 12}).framed);
  EXPECT_FALSE(ReadRing(grid, {1, 12}).framed);
}

}  // namespace
}  // namespace kestrin::testing
