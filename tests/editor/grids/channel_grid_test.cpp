// The grid widget's own geometry: column positions from its prefix sum,
// hit testing after scrolling, widths that change behind its back, and the
// scroll bar as it stands on screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <numeric>
#include <vector>

#include "channel_grid.h"
#include "held_on_screen.h"

namespace kestrin {
namespace {

class WidthList final : public ChannelGridSource {
 public:
  std::vector<std::int64_t> widths;  // widths[c] for column c >= 1
  std::uint64_t key = 0;
  bool striped = false;  // odd columns black, even ones white
  std::int64_t ColumnWidthAt(int column) const override {
    return widths[static_cast<std::size_t>(column)];
  }
  std::uint64_t LayoutKey() const override { return key; }
  void DrawCell(QPainter& painter, int column, int, const QRect& rect) const override {
    if (striped) painter.fillRect(rect, column % 2 != 0 ? Qt::black : Qt::white);
  }
};

std::vector<std::int64_t> MixedWidths(int columns) {
  std::vector<std::int64_t> widths(static_cast<std::size_t>(columns));
  for (int c = 1; c < columns; ++c) widths[static_cast<std::size_t>(c)] = (c * 37) % 11 == 0 ? 0 : (c * 13) % 97 - 5;
  return widths;
}

// What a fresh paint of `part` draws.
QImage FreshlyPainted(QWidget& part) { return part.grab().toImage().convertToFormat(QImage::Format_RGB32); }

std::int64_t ExpectedLeft(const std::vector<std::int64_t>& widths, int column) {
  std::int64_t x = 32 + 1;
  for (int c = 1; c < column; ++c) x += std::max<std::int64_t>(widths[static_cast<std::size_t>(c)], 0) + 1;
  return column == 0 ? 0 : x;
}

TEST(ChannelGridLayout, PositionsAreTheRunningSumOfWidthsAndGridLines) {
  WidthList source;
  constexpr int kColumns = 1024;  // whole blocks of 64: the end starts a block of its own
  source.widths = MixedWidths(kColumns);
  ChannelGrid grid({13, 0, false}, source);
  grid.SetColumnCount(kColumns);
  grid.InvalidateLayout();
  for (int c : {0, 1, 2, 63, 64, 65, 127, 128, 500, 1023, kColumns})
    EXPECT_EQ(grid.ColumnLeft(c), ExpectedLeft(source.widths, c)) << c;
  EXPECT_EQ(grid.ContentWidth(), ExpectedLeft(source.widths, kColumns));
  EXPECT_EQ(grid.ColumnWidth(0), 32);
  // Widths changed behind the grid's back under a new key: the first
  // position asked for already follows them.
  source.widths[70] += 50;
  source.key = 1;
  EXPECT_EQ(grid.ColumnLeft(500), ExpectedLeft(source.widths, 500));
}

TEST(ChannelGridLayout, HitTestingFindsEveryWideEnoughCellAfterScrolling) {
  WidthList source;
  constexpr int kColumns = 3000;
  source.widths = MixedWidths(kColumns);
  ChannelGrid grid({63, 1, true}, source);
  grid.resize(500, 300);
  grid.SetColumnCount(kColumns);
  grid.InvalidateLayout();
  grid.show();
  std::vector<std::int64_t> lefts;
  for (int c = 0; c <= kColumns; ++c) lefts.push_back(ExpectedLeft(source.widths, c));
  for (int c = 1; c < kColumns; c += 7) {
    if (source.widths[static_cast<std::size_t>(c)] < 3) continue;
    const int row = 1 + c % 62;
    grid.ScrollToCell({c, row});
    const auto rect = grid.VisibleCellRect(c, row);
    ASSERT_TRUE(rect) << c;
    EXPECT_EQ(grid.CellAt(rect->center()), (GridCell{c, row})) << c;
    // The fixed parts stay put while the rest scrolls.
    EXPECT_EQ(grid.CellAt(QPoint(5, rect->center().y())), (GridCell{0, row}));
    EXPECT_EQ(grid.CellAt(QPoint(rect->center().x(), 3)), (GridCell{c, 0}));
    // The first pixels past the fixed column and the fixed row scroll.
    const std::int64_t x = 33 + grid.HorizontalOffset();
    const auto under = static_cast<int>(std::upper_bound(lefts.begin(), lefts.end(), x) - lefts.begin()) - 1;
    EXPECT_EQ(grid.CellAt(QPoint(33, 3)), (GridCell{under, 0})) << c;
    EXPECT_EQ(grid.CellAt(QPoint(5, 17)), (GridCell{0, static_cast<int>((17 + grid.VerticalOffset()) / 17)})) << c;
  }
  // Scrolled down, the first row below the fixed one is off view too.
  grid.ScrollToCell({1, 62});
  EXPECT_EQ(grid.VisibleCellRect(1, 1), std::nullopt);
  EXPECT_TRUE(grid.VisibleCellRect(1, 0));
}

TEST(ChannelGridLayout, AChangedLayoutKeyRelaysTheColumnsAtTheNextPaint) {
  WidthList source;
  source.widths = std::vector<std::int64_t>(200, 10);
  ChannelGrid grid({13, 0, false}, source);
  grid.resize(300, 200);
  grid.SetColumnCount(200);
  grid.InvalidateLayout();
  grid.show();
  const std::int64_t before = grid.ContentWidth();
  source.widths[150] = 1000;
  grid.viewport()->grab();
  EXPECT_EQ(grid.ContentWidth(), before) << "same key: positions kept";
  source.key = 1;
  grid.viewport()->grab();
  EXPECT_EQ(grid.horizontalScrollBar()->maximum(), ExpectedLeft(source.widths, 200) - grid.viewport()->width());
  EXPECT_EQ(grid.ContentWidth(), before + 990);
  EXPECT_EQ(grid.ColumnLeft(151) - grid.ColumnLeft(150), 1001);
  // Widths reported changed under a new key relay at once: the scroll range
  // follows before any paint.
  source.widths[100] = 500;
  source.key = 2;
  grid.ColumnWidthsChanged(100, 100);
  EXPECT_EQ(grid.horizontalScrollBar()->maximum(), ExpectedLeft(source.widths, 200) - grid.viewport()->width());
}

// Each scroll bar ends where the content's last pixel meets the view's
// edge, and has no range when everything fits; hit testing ends there too.
TEST(ChannelGridLayout, ScrollBarsAndHitTestingEndAtTheContentsLastPixel) {
  struct Case {
    const char* label;
    int columns;
    int rows;
  };
  for (const Case& size : {Case{"all fits", 5, 3}, Case{"wider and taller", 60, 40}}) {
    SCOPED_TRACE(size.label);
    WidthList source;
    // Room for the columns a new grid starts with, too.
    source.widths = std::vector<std::int64_t>(static_cast<std::size_t>(std::max(size.columns, 20)), 10);
    ChannelGrid grid({size.rows, 0, false}, source);
    grid.resize(300, 200);
    grid.SetColumnCount(size.columns);
    grid.InvalidateLayout();
    grid.show();
    const std::int64_t width = ExpectedLeft(source.widths, size.columns);
    const std::int64_t height = size.rows * 17;
    EXPECT_EQ(grid.horizontalScrollBar()->maximum(), std::max<std::int64_t>(width - grid.viewport()->width(), 0));
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), std::max<std::int64_t>(height - grid.viewport()->height(), 0));
    // A page is what the view shows beside the fixed index column; a step is
    // one column of the starting width.
    EXPECT_EQ(grid.horizontalScrollBar()->pageStep(), grid.viewport()->width() - 33);
    EXPECT_EQ(grid.verticalScrollBar()->pageStep(), grid.viewport()->height());
    EXPECT_EQ(grid.horizontalScrollBar()->singleStep(), 32);
    if (size.columns == 5) {
      // Past the content's last pixel there is no cell.
      const int right = static_cast<int>(width);
      const int bottom = static_cast<int>(height);
      EXPECT_EQ(grid.CellAt(QPoint(right - 1, bottom - 1)), (GridCell{4, 2}));
      EXPECT_EQ(grid.CellAt(QPoint(right, 10)), std::nullopt);
      EXPECT_EQ(grid.CellAt(QPoint(10, bottom)), std::nullopt);
      EXPECT_EQ(grid.VisibleCellRect(4, 3), std::nullopt);
      EXPECT_EQ(grid.VisibleCellRect(5, 2), std::nullopt);
    }
  }
}

// Rows of height 0 and a last column of width 0 are their grid lines alone:
// the content's last pixel row and column are still painted.
TEST(ChannelGridLayout, AGridLineAloneAtTheEndIsPaintedToo) {
  WidthList source;
  source.widths = std::vector<std::int64_t>(20, 10);
  source.widths[4] = 0;
  ChannelGrid grid({3, 0, false}, source);
  grid.resize(300, 200);
  grid.SetColumnCount(5);
  grid.SetDefaultRowHeight(0);
  grid.InvalidateLayout();
  grid.show();
  const QImage painted = FreshlyPainted(*grid.viewport());
  const QRgb line = grid.palette().color(QPalette::Mid).rgb();
  const QRgb empty = grid.palette().color(QPalette::Base).rgb();
  const int right = static_cast<int>(ExpectedLeft(source.widths, 5));
  EXPECT_EQ(painted.pixel(10, 2), line);  // the third row, one pixel high
  EXPECT_EQ(painted.pixel(10, 3), empty);
  EXPECT_EQ(painted.pixel(right - 1, 1), line);
  EXPECT_EQ(painted.pixel(right, 1), empty);

  // The fixed row and column start at the first pixel.
  ChannelGrid fixed({3, 1, false}, source);
  fixed.resize(300, 200);
  fixed.SetColumnCount(5);
  fixed.InvalidateLayout();
  fixed.show();
  const QImage edges = FreshlyPainted(*fixed.viewport());
  const QRgb fixedCell = fixed.palette().color(QPalette::Button).rgb();
  const int column1 = static_cast<int>(ExpectedLeft(source.widths, 1));
  for (const QPoint& at : {QPoint(0, 0), QPoint(column1, 0), QPoint(0, 40)})
    EXPECT_EQ(edges.pixel(at), fixedCell) << at.x() << "," << at.y();
  // And each ends with its line: the column below the fixed row too, the
  // row right of the fixed column too.
  const int row1 = fixed.VisibleCellRect(1, 1).value().top();
  for (const QPoint& at : {QPoint(column1 - 1, 0), QPoint(column1 - 1, 40), QPoint(0, row1 - 1), QPoint(40, row1 - 1)})
    EXPECT_EQ(edges.pixel(at), line) << at.x() << "," << at.y();
}

// The scroll bar skips repaints that would not move its slider by a pixel;
// what the window's backing store holds for it must still be what a fresh
// paint draws, after scrolls by one column and by many.
TEST(ChannelGridLayout, TheScrollBarOnScreenFollowsEveryScroll) {
  WidthList source;
  constexpr int kColumns = 20000;
  source.widths = std::vector<std::int64_t>(kColumns, 20);
  QWidget window;
  window.resize(420, 220);
  ChannelGrid grid({13, 0, false}, source, &window);
  grid.resize(400, 200);
  grid.SetColumnCount(kColumns);
  grid.InvalidateLayout();
  window.show();
  QScrollBar& bar = *grid.horizontalScrollBar();
  for (const int column : {1, 30, 31, 32, 900, 901, 5000, 19999, 19998, 10, 11}) {
    grid.ScrollToCell({column, 0});
    EXPECT_EQ(HeldOnScreen(window, bar), FreshlyPainted(bar)) << "after scrolling to column " << column;
  }
}

// Scrolled to the end of a grid wider than the scroll bar's range, the last
// column narrower by less than one step of the bar pulls the view back
// without moving the bar: the view on screen must still be what a fresh
// paint draws.
TEST(ChannelGridLayout, TheViewOnScreenFollowsANarrowerColumnAtTheEnd) {
  WidthList source;
  source.striped = true;
  // Room for the columns a new grid starts with, too.
  source.widths = std::vector<std::int64_t>(20, 300);
  source.widths[1] = std::int64_t{1} << 40;
  QWidget window;
  window.resize(420, 220);
  ChannelGrid grid({13, 0, false}, source, &window);
  grid.resize(400, 200);
  grid.SetColumnCount(4);
  grid.InvalidateLayout();
  window.show();
  QScrollBar& bar = *grid.horizontalScrollBar();
  bar.setValue(bar.maximum());
  QApplication::processEvents();
  const int value = bar.value();
  source.widths[3] = 250;
  grid.ColumnWidthsChanged(3, 3);
  ASSERT_EQ(bar.value(), value) << "the case needs the bar to stay";
  EXPECT_EQ(HeldOnScreen(window, *grid.viewport()), FreshlyPainted(*grid.viewport()));
}

TEST(ChannelGridLayout, AShorterStreamKeepsTheCurrentCellOnIt) {
  WidthList source;
  source.widths = std::vector<std::int64_t>(40, 20);
  ChannelGrid grid({13, 1, true}, source);
  grid.SetColumnCount(40);
  grid.SetCurrentCell({39, 5});
  grid.SetColumnCount(4);
  EXPECT_EQ(grid.CurrentCell(), (GridCell{3, 5}));
  // A stream with no bytes leaves no cell to move to: the current cell waits
  // where it was for the next stream.
  grid.SetColumnCount(1);
  grid.SetColumnCount(40);
  EXPECT_EQ(grid.CurrentCell(), (GridCell{3, 5}));
}

// Moving the current cell by mouse or key repaints where its frame was and
// where it goes: what the window's backing store holds stays what a fresh
// paint draws.
TEST(ChannelGridLayout, TheFrameOnScreenFollowsTheCurrentCell) {
  WidthList source;
  source.widths = std::vector<std::int64_t>(40, 20);
  QWidget window;
  window.resize(420, 220);
  ChannelGrid grid({13, 1, true}, source, &window);
  grid.resize(400, 200);
  grid.SetColumnCount(40);
  grid.InvalidateLayout();
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  grid.setFocus();
  const auto onScreen = [&] { return HeldOnScreen(window, *grid.viewport()); };
  const auto painted = [&] { return FreshlyPainted(*grid.viewport()); };
  for (const GridCell cell : {GridCell{3, 2}, GridCell{4, 2}, GridCell{4, 5}}) {
    const auto rect = grid.VisibleCellRect(cell.column, cell.row);
    ASSERT_TRUE(rect);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rect->center());
    EXPECT_EQ(grid.CurrentCell(), cell);
    EXPECT_EQ(onScreen(), painted()) << "after a click on column " << cell.column << ", row " << cell.row;
  }
  for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Down}) {
    QTest::keyClick(&grid, key);
    EXPECT_EQ(onScreen(), painted()) << "after key " << key;
  }
}

}  // namespace
}  // namespace kestrin
