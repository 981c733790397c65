// What the grids paint, read back from rendered images: the texts inside
// cells, empty cells that stay plain, and where a click lands once the
// grid has scrolled.

#include <QScrollBar>

#include "grid_fixture.h"

namespace kestrin::testing {
namespace {

using GridPainting = GridFixture;

// Pixels inside the cell that differ from the cell's own fill: the cell's
// text, whatever the font. The fill is taken from the cell's bottom-right
// corner, where no short text reaches.
int InkPixels(ChannelGrid& grid, int column, int row) {
  grid.ScrollToCell({column, row});
  const auto rect = grid.VisibleCellRect(column, row);
  EXPECT_TRUE(rect.has_value()) << column << "," << row;
  if (!rect) return -1;
  const QImage image = grid.viewport()->grab().toImage();
  const QColor fill = image.pixelColor(rect->right(), rect->bottom());
  int ink = 0;
  for (int y = rect->top(); y <= rect->bottom(); ++y)
    for (int x = rect->left(); x <= rect->right(); ++x)
      if (image.pixelColor(x, y) != fill) ++ink;
  return ink;
}

TEST_F(GridPainting, Square1CellsShowOctavesHexBytesLabelsAndDurations) {
  LoadStreams({0x84, 0x7C, 0x30, 0x7E, 0x00});
  ShowSquare1();
  // Fills the text sits on, as the start colours give them.
  EXPECT_EQ(Pixel(Grid1(), 2, 1), QColor(0xCC, 0x9C, 0x9C));
  EXPECT_EQ(Pixel(Grid1(), 1, 20), QColor(0x70, 0x88, 0xD0));

  struct Cell {
    int column;
    int row;
    const char* what;
  };
  for (const Cell c : {Cell{2, 1, "octave 7"}, Cell{3, 39, "octave 4"}, Cell{1, 1, "84 on row 1"},
                       Cell{1, 62, "84 on row 62"}, Cell{0, 1, "label D"}, Cell{0, 3, "label C"},
                       Cell{0, 62, "label C#"}, Cell{1, 0, "duration of 84"}, Cell{3, 0, "duration 1"},
                       Cell{5, 0, "duration of the end byte"}}) {
    EXPECT_GE(InkPixels(Grid1(), c.column, c.row), 3) << c.what;
  }
  for (const Cell c : {Cell{2, 2, "empty case"}, Cell{3, 38, "empty case"}, Cell{4, 10, "silence"},
                       Cell{5, 10, "end"}, Cell{0, 0, "corner"}}) {
    EXPECT_EQ(InkPixels(Grid1(), c.column, c.row), 0) << c.what;
  }
}

TEST_F(GridPainting, Square2CellsShowOctavesLabelsAndDurationsButNoHex) {
  LoadStreams({0x00}, {0x84, 0x18, 0x30, 0x7E});
  ShowSquare2();
  EXPECT_GE(InkPixels(Grid2(), 2, 12), 3) << "octave 3";
  EXPECT_GE(InkPixels(Grid2(), 3, 12), 3) << "octave 4";
  EXPECT_GE(InkPixels(Grid2(), 0, 1), 3) << "label B";
  EXPECT_GE(InkPixels(Grid2(), 0, 12), 3) << "label C";
  EXPECT_GE(InkPixels(Grid2(), 2, 0), 3) << "duration";
  EXPECT_EQ(InkPixels(Grid2(), 1, 5), 0) << "no hex in Square 2";
  EXPECT_EQ(InkPixels(Grid2(), 2, 11), 0) << "empty case";
}

TEST_F(GridPainting, AClickJustBelowTheHeaderOfAScrolledGridHitsTheTopVisibleRow) {
  LoadStreams({0x84, 0x30, 0x30, 0x30, 0x00});
  ShowSquare1();
  // Rows are 16 pixels and a line: scrolled by 20 rows, row 21 is the first
  // one under the header, whose line ends at y = 17.
  Grid1().verticalScrollBar()->setValue(20 * 17);
  ASSERT_EQ(Grid1().VerticalOffset(), 20 * 17);
  const auto column = Grid1().VisibleCellRect(3, 21);
  ASSERT_TRUE(column.has_value());
  ASSERT_EQ(column->top(), 17);
  QTest::mouseClick(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(column->center().x(), 17));
  EXPECT_EQ(Stream1()[2], 126 - 2 * 21);  // note mode: the note of row 21
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{3, 21}));

  // The last pixel of the header still belongs to the header: no edit.
  QTest::mouseClick(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(column->center().x(), 15));
  EXPECT_EQ(Stream1()[2], 126 - 2 * 21);
}

}  // namespace
}  // namespace kestrin::testing
