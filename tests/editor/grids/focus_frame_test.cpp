// The current cell of a grid that has keyboard focus carries a frame of
// black and white dashes, 2 pixels wide, inside the cell, that stands out
// from every cell colour; read back from the rendered grid.
#include <QApplication>
#include <QPalette>

#include "color_contrast.h"
#include "grid_fixture.h"

namespace kestrin::testing {
namespace {

// What the frame must reach against the fill it sits on, as graphics that
// have to be seen need.
constexpr double kVisible = 3.0;

class FocusFrame : public GridFixture {
 protected:
  void SetUp() override {
    QApplication::setActiveWindow(&window_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  static bool BlackOrWhite(QRgb pixel) { return (pixel & 0xFFFFFF) == 0 || (pixel & 0xFFFFFF) == 0xFFFFFF; }

  // The pixels `depth` pixels in from the cell's edge.
  static std::vector<QPoint> RingAt(const QRect& rect, int depth) {
    const QRect r = rect.adjusted(depth, depth, -depth, -depth);
    std::vector<QPoint> ring;
    for (int x = r.left(); x <= r.right(); ++x) {
      ring.emplace_back(x, r.top());
      ring.emplace_back(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
      ring.emplace_back(r.left(), y);
      ring.emplace_back(r.right(), y);
    }
    return ring;
  }

  struct Frame {
    bool framed = false;     // the outer 2 pixels are all black or white, with black on every side
    double visible = 0;      // share of those pixels that stand out from `fill` by kVisible
    bool thirdUntouched = false;  // the third pixel in, below and right, is the fill
    bool linesUntouched = false;  // the grid lines on view right of and below the cell keep their colour
  };

  static Frame ReadFrame(ChannelGrid& grid, GridCell cell, QColor fill = {}) {
    const auto rect = grid.VisibleCellRect(cell.column, cell.row);
    EXPECT_TRUE(rect.has_value());
    if (!rect) return {};
    const QImage image = grid.viewport()->grab().toImage();
    Frame frame;
    int pixels = 0;
    int standing = 0;
    bool allBlackOrWhite = true;
    std::array<bool, 4> blackOnSide{};  // top, bottom, left, right
    for (const int depth : {0, 1}) {
      for (const QPoint& p : RingAt(*rect, depth)) {
        const QRgb pixel = image.pixel(p);
        ++pixels;
        allBlackOrWhite = allBlackOrWhite && BlackOrWhite(pixel);
        if (fill.isValid() && Contrast(QColor(pixel), fill) >= kVisible) ++standing;
        if ((pixel & 0xFFFFFF) != 0) continue;
        // Corners belong to two sides: a side counts only black between them.
        const bool alongX = p.x() > rect->left() + 1 && p.x() < rect->right() - 1;
        const bool alongY = p.y() > rect->top() + 1 && p.y() < rect->bottom() - 1;
        blackOnSide[0] = blackOnSide[0] || (alongX && p.y() <= rect->top() + 1);
        blackOnSide[1] = blackOnSide[1] || (alongX && p.y() >= rect->bottom() - 1);
        blackOnSide[2] = blackOnSide[2] || (alongY && p.x() <= rect->left() + 1);
        blackOnSide[3] = blackOnSide[3] || (alongY && p.x() >= rect->right() - 1);
      }
    }
    frame.framed = allBlackOrWhite && std::all_of(blackOnSide.begin(), blackOnSide.end(), [](bool b) { return b; });
    frame.visible = pixels > 0 ? static_cast<double>(standing) / pixels : 0;
    frame.thirdUntouched = fill.isValid() && image.pixelColor(rect->right() - 2, rect->bottom() - 2) == fill &&
                           image.pixelColor(rect->center().x(), rect->bottom() - 2) == fill;
    const QRgb line = grid.palette().color(QPalette::Mid).rgb();
    const auto lineAt = [&](int x, int y) { return !image.rect().contains(x, y) || image.pixel(x, y) == line; };
    frame.linesUntouched = true;
    for (int x = rect->left(); x <= rect->right() + 1; ++x)
      frame.linesUntouched = frame.linesUntouched && lineAt(x, rect->bottom() + 1);
    for (int y = rect->top(); y <= rect->bottom() + 1; ++y)
      frame.linesUntouched = frame.linesUntouched && lineAt(rect->right() + 1, y);
    return frame;
  }

  static void UseDarkTheme(QWidget& window) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Button, QColor(0x38, 0x38, 0x38));
    dark.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x50));
    dark.setColor(QPalette::Highlight, QColor(0x30, 0x60, 0xA0));
    window.setPalette(dark);
  }
};

TEST_F(FocusFrame, CurrentCellIsFramedWhileTheGridHasFocus) {
  LoadStreams({0x84, 0x30, 0x7E, 0x32, 0x00});
  ShowSquare1();
  ChannelGrid& grid = Grid1();
  grid.SetCurrentCell({3, 5});
  grid.setFocus();
  ASSERT_TRUE(grid.hasFocus());

  EXPECT_TRUE(ReadFrame(grid, {3, 5}).framed);
  EXPECT_FALSE(ReadFrame(grid, {4, 5}).framed);
  EXPECT_FALSE(ReadFrame(grid, {3, 6}).framed);

  // The keyboard moves the frame with the current cell.
  QTest::keyClick(&grid, Qt::Key_Right);
  EXPECT_TRUE(ReadFrame(grid, {4, 5}).framed);
  EXPECT_FALSE(ReadFrame(grid, {3, 5}).framed);

  // Sides of no whole number of dashes: the last dash ends at the cell's edge.
  settings_.propCaseLength = 42;
  settings_.caseHeight = 18;
  ShowSquare1();
  grid.setFocus();
  grid.SetCurrentCell({1, 5});
  const Frame uneven = ReadFrame(grid, {1, 5});
  EXPECT_TRUE(uneven.framed);
  EXPECT_TRUE(uneven.linesUntouched);
}

TEST_F(FocusFrame, NoFrameWithoutFocus) {
  LoadStreams({0x84, 0x30, 0x7E, 0x32, 0x00});
  ShowSquare1();
  ChannelGrid& grid = Grid1();
  grid.SetCurrentCell({3, 5});
  grid.setFocus();
  ASSERT_TRUE(ReadFrame(grid, {3, 5}).framed);
  grid.clearFocus();
  EXPECT_FALSE(ReadFrame(grid, {3, 5}).framed);
}

TEST_F(FocusFrame, Square2GridFramesItsCurrentCellToo) {
  LoadStreams({0x84, 0x00}, {0x84, 0x30, 0x7E});
  ShowSquare2();
  ChannelGrid& grid = Grid2();
  grid.SetCurrentCell({2, 12});
  grid.setFocus();
  EXPECT_TRUE(ReadFrame(grid, {2, 12}).framed);
  EXPECT_FALSE(ReadFrame(grid, {1, 12}).framed);
}

TEST_F(FocusFrame, StandsOutFromEveryCellColourUnderTheDefaultAndTheDarkTheme) {
  // Property, C4, rest, D7, C#2, an uninterpreted byte, the end byte.
  LoadStreams({0x84, 0x30, 0x7E, 0x7C, 0x02, 0x7F, 0x00});
  struct Case {
    const char* what;
    GridCell cell;
    QColor fill;
  };
  for (const bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark theme" : "default colours");
    if (dark) UseDarkTheme(window_);
    ShowSquare1();
    const QColor background = Grid1().palette().color(QPalette::Base);
    const Case cases[] = {
        {"note properties", {1, 10}, QColor(0x70, 0x88, 0xD0)},
        {"note, octave 4", {2, 39}, QColor(0x90, 0x60, 0x60)},
        {"empty case", {2, 20}, QColor(0xFF, 0xFF, 0xFF)},
        {"silence", {3, 20}, QColor(0xE0, 0xC0, 0xC0)},
        {"note, octave 7", {4, 1}, QColor(0xCC, 0x9C, 0x9C)},
        {"note, octave 2", {5, 62}, QColor(0x68, 0x38, 0x38)},
        {"uninterpreted byte", {6, 20}, background},
        {"loop/end", {7, 20}, QColor(0x48, 0x7E, 0xB8)},
    };
    ChannelGrid& grid = Grid1();
    grid.setFocus();
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      grid.SetCurrentCell(c.cell);
      const Frame frame = ReadFrame(grid, c.cell, c.fill);
      EXPECT_TRUE(frame.framed);
      EXPECT_GE(frame.visible, 0.4);
      EXPECT_TRUE(frame.thirdUntouched);
      EXPECT_TRUE(frame.linesUntouched);
    }
    // The notes index colour fills no cell that can be current; as an
    // empty case colour it is framed as visibly.
    settings_.emptyCaseColor = MakeColorWord(0x80, 0x80, 0x80);
    grid.viewport()->update();
    grid.SetCurrentCell({2, 20});
    const Frame grey = ReadFrame(grid, {2, 20}, QColor(0x80, 0x80, 0x80));
    EXPECT_TRUE(grey.framed);
    EXPECT_GE(grey.visible, 0.9);  // both black and white stand out from mid grey
    settings_.emptyCaseColor = MakeColorWord(0xFF, 0xFF, 0xFF);
  }
}

}  // namespace
}  // namespace kestrin::testing
