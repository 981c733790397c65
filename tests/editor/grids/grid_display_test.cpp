// What the Square grids show after a display: columns, widths, header and
// cell texts, labels and colours read back from the rendered grid.

#include <QFontMetrics>
#include <QLabel>

#include "channel_display.h"
#include "grid_fixture.h"
#include "qt_color_word.h"

namespace kestrin::testing {
namespace {

using GridDisplay = GridFixture;

// The bytes an edit changed, as the grid shows them again: those of the one
// edit buffer, with the clicked one, ascending and each once.
TEST(EditedIndexes, AreTheBuffersOwnBytesAscendingEachOnce) {
  EditingState state;
  state.channels.emplace();
  state.channels->edit[1].resize(10);
  state.streamPosition[1] = 100;
  const ByteChange changes[] = {{107, ByteTarget::Edit, 1}, {102, ByteTarget::Edit, 1}, {107, ByteTarget::Edit, 1},
                                {103, ByteTarget::Image, 1}, {104, ByteTarget::Edit, 0}, {99, ByteTarget::Edit, 1},
                                {110, ByteTarget::Edit, 1}, {109, ByteTarget::Edit, 1}};
  EXPECT_EQ(EditedIndexes(state, 1, changes, 5), (std::vector<std::size_t>{2, 5, 7, 9}));
}

TEST_F(GridDisplay, BeforeAnyPartThePagesOnlyAskForOne) {
  ShowSquare1();
  EXPECT_EQ(Status(), QStringLiteral("You should select a song part first!"));
  EXPECT_EQ(Grid1().ColumnCount(), 20);
  EXPECT_EQ(Grid1().ColumnWidth(5), 32);
  EXPECT_EQ(Grid1().RowHeight(), 16);
  const QLabel* info = sq1_->findChild<QLabel*>(QStringLiteral("l_sq1infos"));
  EXPECT_EQ(info->text(), QStringLiteral("Available space : 0xFFF (# 4096)"));
  // Courier, 13 pixels high, or a little smaller where the platform's font
  // spaces three lines wider than the band below the grid.
  EXPECT_EQ(info->font().family(), QStringLiteral("Courier"));
  const int size = info->font().pixelSize();
  EXPECT_TRUE(size > 8 && size <= 13) << size;
  const auto threeLines = [&](int pixels) {
    QFont font = info->font();
    font.setPixelSize(pixels);
    return 3 * QFontMetrics(font).lineSpacing();
  };
  EXPECT_LE(threeLines(size), 42);
  if (size < 13) {
    EXPECT_GT(threeLines(size + 1), 42) << "smaller than it needs to be";
  }
  ShowSquare2();
  EXPECT_EQ(Status(), QStringLiteral("You should select a song part first!"));
  EXPECT_FALSE(cells_.builtFor.has_value());

  // A failed channel copy leaves the flag but no buffers: still nothing to show.
  state_.partLoaded = true;
  status_.Set({});
  ShowSquare1();
  EXPECT_EQ(Status(), QStringLiteral("You should select a song part first!"));
}

TEST_F(GridDisplay, EndByteAloneGivesOneLoopColumnAndStatusTellsFirstFromLater) {
  LoadStreams({0x00});
  ShowSquare1();
  EXPECT_EQ(Status(), QStringLiteral("1"));
  EXPECT_EQ(Grid1().ColumnCount(), 2);
  EXPECT_EQ(Grid1().ColumnWidth(0), 32);
  EXPECT_EQ(Grid1().ColumnWidth(1), 40);
  EXPECT_EQ(sq1_->CellText(1, 0), QStringLiteral("1"));
  EXPECT_EQ(Pixel(Grid1(), 1, 30), QColor(0x48, 0x7E, 0xB8));
  EXPECT_EQ(sq1_->findChild<QLabel*>(QStringLiteral("l_sq1infos"))->text(),
            QStringLiteral("Available space : \nSquare1 : 1 bytes\nPart    : 4 bytes"));

  ShowSquare2();
  EXPECT_EQ(Status(), QStringLiteral("CASE X FREE"));
  ShowSquare1();
  EXPECT_EQ(Status(), QStringLiteral("CASE X FREE"));
}

TEST_F(GridDisplay, PropertyBytesSetTheWidthOfTheColumnsAfterThem) {
  LoadStreams({0x84, 0x30, 0x8C, 0x30, 0x81, 0x30, 0x00});
  ShowSquare1();
  const std::vector<std::int64_t> widths{40, 40, 40, 320, 40, 10, 40};
  const std::vector<QString> headers{"1", "1", "1", "8", "1", "0.25", "1"};
  for (int c = 1; c <= 7; ++c) {
    EXPECT_EQ(Grid1().ColumnWidth(c), widths[static_cast<std::size_t>(c - 1)]) << c;
    EXPECT_EQ(sq1_->CellText(c, 0), headers[static_cast<std::size_t>(c - 1)]) << c;
  }
  EXPECT_EQ(sq1_->CellText(1, 1), QStringLiteral("84"));
  EXPECT_EQ(sq1_->CellText(1, 62), QStringLiteral("84"));
  EXPECT_EQ(sq1_->CellText(3, 40), QStringLiteral("8C"));
  EXPECT_EQ(Pixel(Grid1(), 1, 5), QColor(0x70, 0x88, 0xD0));

  // Notes ahead of any property byte keep the width the last display left.
  LoadStreams({0x30, 0x84, 0x30, 0x00});
  ShowSquare1();
  EXPECT_EQ(Grid1().ColumnWidth(1), 10);
  EXPECT_EQ(Grid1().ColumnWidth(3), 40);
  LoadStreams({0x8C, 0x00});
  ShowSquare1();
  LoadStreams({0x30, 0x00});
  ShowSquare1();
  EXPECT_EQ(Grid1().ColumnWidth(1), 320);
}

TEST_F(GridDisplay, RowLabelsAndNoteRowsOfBothGrids) {
  LoadStreams({0x84, 0x7C, 0x7D, 0x02, 0x03, 0x01, 0x00}, {0x84, 0x18, 0x30, 0x19, 0x7E});
  ShowSquare1();
  EXPECT_EQ(sq1_->CellText(0, 0), QString());
  EXPECT_EQ(sq1_->CellText(0, 1), QStringLiteral("D"));
  EXPECT_EQ(sq1_->CellText(0, 3), QStringLiteral("C"));
  EXPECT_EQ(sq1_->CellText(0, 62), QStringLiteral("C#"));
  EXPECT_EQ(sq1_->CellText(2, 1), QStringLiteral("7"));
  EXPECT_EQ(sq1_->CellText(3, 1), QStringLiteral("7"));
  EXPECT_EQ(sq1_->CellText(4, 62), QStringLiteral("2"));
  EXPECT_EQ(sq1_->CellText(5, 62), QStringLiteral("2"));
  EXPECT_EQ(sq1_->CellText(2, 2), QString());
  // 0x01 has no row: its whole column is empty cases.
  for (int r : {1, 31, 62}) EXPECT_EQ(Pixel(Grid1(), 6, r), QColor(0xFF, 0xFF, 0xFF)) << r;

  ShowSquare2();
  const QStringList labels{"B", "A#", "A", "G#", "G", "F#", "F", "E", "D#", "D", "C#", "C"};
  for (int r = 1; r <= 12; ++r) EXPECT_EQ(sq2_->CellText(0, r), labels[r - 1]) << r;
  EXPECT_EQ(sq2_->CellText(2, 12), QStringLiteral("3"));
  EXPECT_EQ(sq2_->CellText(3, 12), QStringLiteral("4"));
  EXPECT_EQ(sq2_->CellText(3, 11), QString());
  EXPECT_EQ(sq2_->CellText(1, 5), QString());  // no hex text in Square 2
  EXPECT_EQ(sq2_->CellText(1, 0), QStringLiteral("1"));  // row 0 still tells the width
  for (int r = 1; r <= 12; ++r) EXPECT_EQ(sq2_->CellText(4, r), QString()) << "odd byte, no row";
}

TEST_F(GridDisplay, NotesAreShadedByOctaveAndMaskedByTheEmptyCaseColour) {
  LoadStreams({0x84, 0x04, 0x30, 0x7C, 0x7E, 0x7F, 0x00}, {0x84, 0x30, 0x7E});
  ShowSquare1();
  EXPECT_EQ(Pixel(Grid1(), 2, 61), QColor(0x68, 0x38, 0x38));  // octave 2
  EXPECT_EQ(Pixel(Grid1(), 3, 39), QColor(0x90, 0x60, 0x60));  // octave 4
  EXPECT_EQ(Pixel(Grid1(), 4, 1), QColor(0xCC, 0x9C, 0x9C));   // octave 7
  EXPECT_EQ(Pixel(Grid1(), 3, 38), QColor(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(Pixel(Grid1(), 5, 10), QColor(0xE0, 0xC0, 0xC0));
  EXPECT_EQ(Pixel(Grid1(), 6, 10), Grid1().palette().color(QPalette::Base));  // uninterpreted
  EXPECT_EQ(Pixel(Grid1(), 0, 10), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(Pixel(Grid1(), 4, 0), QColor(0x80, 0x80, 0x80));

  // Colour settings apply at the next repaint, without a display.
  settings_.emptyCaseColor = MakeColorWord(0, 0, 0xFF);
  settings_.silenceColor = MakeColorWord(0x10, 0x20, 0x30);
  EXPECT_EQ(Pixel(Grid1(), 2, 61), QColor(0, 0, 0x38));
  EXPECT_EQ(Pixel(Grid1(), 4, 1), QColor(0, 0, 0x9C));
  EXPECT_EQ(Pixel(Grid1(), 5, 10), QColor(0x10, 0x20, 0x30));

  ShowSquare2();  // Square 2 masks silences with the empty case colour
  EXPECT_EQ(Pixel(Grid2(), 3, 4), QColor(0, 0, 0x30));
  EXPECT_EQ(Pixel(Grid2(), 2, 12), QColor(0, 0, 0x60));
}

TEST_F(GridDisplay, PropertyCaseLengthWidensOnlySquare1PropertyColumns) {
  LoadStreams({0x84, 0x30, 0x00}, {0x84, 0x30, 0x7E});
  ShowSquare1();
  settings_.propCaseLength = 60;
  Grid1().viewport()->grab();  // the next repaint takes the new length
  EXPECT_EQ(Grid1().ColumnLeft(2) - Grid1().ColumnLeft(1), 61);
  EXPECT_EQ(sq1_->CellText(1, 0), QStringLiteral("1.5"));
  EXPECT_EQ(Grid1().ColumnWidth(2), 40);
  const QImage image = Grid1().viewport()->grab().toImage();
  const auto rect = Grid1().VisibleCellRect(1, 40);  // the view opened at C4, row 39
  ASSERT_TRUE(rect);
  EXPECT_EQ(rect->width(), 60);
  EXPECT_EQ(image.pixelColor(rect->left() + 55, rect->center().y()),
            QColor(0x70, 0x88, 0xD0));

  ShowSquare2();
  EXPECT_EQ(Grid2().ColumnWidth(1), 40);
  EXPECT_EQ(sq2_->CellText(1, 0), QStringLiteral("1"));
}

TEST_F(GridDisplay, ZeroAndNegativeSizesDrawAsNothingWithoutFailing) {
  LoadStreams({0x84, 0x30, 0x7E, 0x00});
  // A size below one pixel shows as nothing: only the grid lines remain.
  struct Case {
    int size;
    int shown;
  };
  for (const Case c : {Case{0, 0}, Case{-5, 0}, Case{1, 1}, Case{-2147483647, 0}}) {
    const int size = c.size;
    settings_.caseHeight = size;
    settings_.propCaseLength = size;
    ShowSquare1();
    EXPECT_EQ(Grid1().RowHeight(), c.shown) << size;
    EXPECT_EQ(Grid1().ColumnWidth(1), c.shown) << size;  // the property column
    EXPECT_EQ(Grid1().ColumnWidth(2), 40) << size;       // the note after it
    EXPECT_EQ(Grid1().ContentHeight(), 63 * (c.shown + 1)) << size;
    EXPECT_EQ(Grid1().ColumnLeft(2), 33 + c.shown + 1) << size;
    Grid1().viewport()->grab();
    QTest::mouseClick(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 5));
    QTest::keyClick(&Grid1(), Qt::Key_End, Qt::ControlModifier);
    ShowSquare2();
    Grid2().viewport()->grab();
  }
  // Square 2 offsets may leave its stream empty: only the index column.
  LoadStreams({0x00}, {});
  ShowSquare2();
  EXPECT_EQ(Grid2().ColumnCount(), 1);
  QTest::keyClick(&Grid2(), Qt::Key_End, Qt::ControlModifier);
  QTest::mouseClick(Grid2().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  Grid2().viewport()->grab();
  EXPECT_EQ(Status(), QStringLiteral("CASE X FREE"));

  // Huge sizes need 64-bit positions and scaled scroll bars.
  settings_.caseHeight = 2147483647;
  ShowSquare1();
  EXPECT_EQ(Grid1().ContentHeight(), std::int64_t{63} * 2147483648);
  settings_.caseHeight = 16;
  settings_.propCaseLength = 2147483647;
  LoadStreams(Bytes(12, 0x84));
  ShowSquare1();
  EXPECT_EQ(Grid1().ColumnLeft(12), 33 + std::int64_t{11} * 2147483648);
  Grid1().ScrollToCell({12, 5});
  Grid1().viewport()->grab();
  const auto rect = Grid1().VisibleCellRect(12, 5);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(Grid1().CellAt(rect->center()), (GridCell{12, 5}));
}

}  // namespace
}  // namespace kestrin::testing
