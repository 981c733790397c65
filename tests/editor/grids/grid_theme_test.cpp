// The grids under a dark desktop theme: the cells keep the editor's colours,
// and their texts must stay readable on them.
#include <QPalette>

#include "color_contrast.h"
#include "grid_fixture.h"

namespace kestrin::testing {
namespace {

// Readable text: the contrast that body text needs.
constexpr double kReadable = 4.5;

class GridTheme : public GridFixture {
 protected:
  GridTheme() {
    // What a dark theme hands the program: dark surfaces, light texts.
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Button, QColor(0x38, 0x38, 0x38));
    dark.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x50));
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
      dark.setColor(role, QColor(0xE8, 0xE8, 0xE8));
    window_.setPalette(dark);
  }

  struct CellInk {
    QColor fill;
    double bestContrast = 1.0;  // of the text pixel that stands out most
  };

  // Reads back the cell from a rendered image: its fill near the bottom-right
  // corner, and its text where the text sits, 4 right of and 1 below the
  // top-left corner.
  static CellInk Ink(ChannelGrid& grid, int column, int row) {
    grid.ScrollToCell({column, row});
    const auto rect = grid.VisibleCellRect(column, row);
    EXPECT_TRUE(rect.has_value());
    if (!rect) return {};
    const QImage image = grid.viewport()->grab().toImage();
    CellInk ink{image.pixelColor(rect->right() - 1, rect->bottom() - 1)};
    const int right = std::min(rect->right() - 1, rect->left() + 4 + 20);
    const int bottom = std::min(rect->bottom() - 1, rect->top() + 1 + grid.fontMetrics().height());
    for (int y = rect->top() + 1; y <= bottom; ++y) {
      for (int x = rect->left() + 4; x <= right; ++x) {
        ink.bestContrast = std::max(ink.bestContrast, Contrast(image.pixelColor(x, y), ink.fill));
      }
    }
    return ink;
  }
};

TEST_F(GridTheme, CellTextsContrastWithTheirFillUnderADarkPalette) {
  LoadStreams({0x84, 0x04, 0x30, 0x7C, 0x7E, 0x7F, 0x00});
  ShowSquare1();
  Grid1().viewport()->grab();  // the first paint lays the columns out

  struct Case {
    const char* what;
    int column;
    int row;
    QColor fill;
    bool light;
  };
  const Case cases[] = {
      {"header \"1\"", 1, 0, QColor(0x80, 0x80, 0x80), true},
      {"row label", 0, 1, QColor(0x80, 0x80, 0x80), true},
      {"property byte \"84\"", 1, 10, QColor(0x70, 0x88, 0xD0), true},
      {"octave 2", 2, 61, QColor(0x68, 0x38, 0x38), false},
      {"octave 4", 3, 39, QColor(0x90, 0x60, 0x60), false},
      {"octave 7", 4, 1, QColor(0xCC, 0x9C, 0x9C), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CellInk ink = Ink(Grid1(), c.column, c.row);
    EXPECT_EQ(ink.fill, c.fill);
    // The text is black, not the palette's light grey: its pixels stand out
    // from the fill as far as black does (the light fills of the layout
    // read well; the low octaves of the default note colour as on the
    // platform the layout was made for).
    EXPECT_GE(ink.bestContrast, Contrast(QColor(Qt::black), c.fill) * 0.9);
    if (c.light) {
      EXPECT_GE(ink.bestContrast, kReadable);
    }
  }
}

TEST_F(GridTheme, TextsOnTheLightFillsOfTheLayoutAreBlack) {
  LoadStreams({0x84, 0x7C, 0x00});
  ShowSquare1();
  Grid1().viewport()->grab();
  // Octave 7 and the grey header: black stands out further than any light
  // text could.
  for (const auto& [column, row] : {std::pair{2, 1}, std::pair{1, 0}}) {
    const CellInk ink = Ink(Grid1(), column, row);
    EXPECT_GE(ink.bestContrast, Contrast(QColor(Qt::black), ink.fill) * 0.9) << column << "," << row;
  }
}

// Past the last column the grid shows its base colour, never what the screen
// held before: it paints every pixel of its view itself.
TEST_F(GridTheme, TheViewPastTheLastColumnIsTheBaseColour) {
  LoadStreams({0x84, 0x04, 0x00});
  ShowSquare1();
  QWidget& view = *Grid1().viewport();
  QImage image(view.size(), QImage::Format_RGB32);
  image.fill(Qt::magenta);
  view.render(&image);
  EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() / 2), QColor(0x20, 0x20, 0x20));
}

}  // namespace
}  // namespace kestrin::testing
