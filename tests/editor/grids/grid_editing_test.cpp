// Editing through real clicks and key presses on the Square grids, and what
// reaches the ROM image when.

#include <QSignalSpy>

#include "channel_bytes.h"
#include "grid_fixture.h"

namespace kestrin::testing {
namespace {

using GridEditing = GridFixture;

demo::PartStreams Part(Bytes square1, Bytes square2) {
  demo::PartStreams streams;
  streams.square1 = std::move(square1);
  streams.square2 = std::move(square2);
  return streams;
}

TEST_F(GridEditing, ClicksBeforeAnyPartOnlyAskForOne) {
  ShowSquare1();
  Click(Grid1(), 3, 5);
  EXPECT_EQ(Status(), QStringLiteral("You should select a part first!"));
  ShowSquare2();
  Click(Grid2(), 3, 5);
  EXPECT_EQ(Status(), QStringLiteral("You should select a part first!"));
}

TEST_F(GridEditing, NoteModeWritesThePitchOfTheClickedRow) {
  LoadStreams({0x84, 0x30, 0x30, 0x30, 0x30, 0x30, 0x00});
  ShowSquare1();
  Click(Grid1(), 5, 1);
  EXPECT_EQ(Stream1()[4], 0x7C);
  EXPECT_EQ(sq1_->CellText(5, 1), QStringLiteral("7"));
  EXPECT_EQ(Status(), QStringLiteral("CASE X FREE"));
  Click(Grid1(), 5, 62);
  EXPECT_EQ(Stream1()[4], 0x02);
  EXPECT_EQ(sq1_->CellText(5, 62), QStringLiteral("2"));
  // A click on the current cell again is one more edit.
  Stream1()[4] = 0x30;
  Click(Grid1(), 5, 62);
  EXPECT_EQ(Stream1()[4], 0x02);
}

TEST_F(GridEditing, FixedCellsAndOtherButtonsRaiseNoEdit) {
  LoadStreams({0x84, 0x30, 0x00});
  ShowSquare1();
  QSignalSpy clicks(&Grid1(), &ChannelGrid::CellClicked);
  const auto header = Grid1().VisibleCellRect(2, 0);
  const auto index = Grid1().VisibleCellRect(0, 40);  // the view opened at C4, row 39
  ASSERT_TRUE(header && index);
  QTest::mouseClick(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, header->center());
  QTest::mouseClick(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, index->center());
  // Beyond the last column there is no cell at all.
  QTest::mouseClick(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(Grid1().viewport()->width() - 3, 40));
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_EQ(Stream1(), (Bytes{0x84, 0x30, 0x00}));

  // Only the release of the button that was pressed on the cell counts.
  const auto cell = Grid1().VisibleCellRect(2, 40);
  ASSERT_TRUE(cell);
  QTest::mousePress(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, cell->center());
  QTest::mouseRelease(Grid1().viewport(), Qt::RightButton, Qt::NoModifier, cell->center());
  EXPECT_EQ(clicks.count(), 0);
  QTest::mouseRelease(Grid1().viewport(), Qt::LeftButton, Qt::NoModifier, cell->center());
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks.at(0).at(0).toInt(), 2);
  EXPECT_EQ(clicks.at(0).at(1).toInt(), 40);
}

TEST_F(GridEditing, MuteAndPropertyModesWriteTheirBytes) {
  LoadStreams({0x84, 0x30, 0x30, 0x30, 0x00});
  ShowSquare1();
  settings_.editMode = EditMode::Mute;
  Click(Grid1(), 2, 20);
  EXPECT_EQ(Stream1()[1], 0x7E);

  settings_.editMode = EditMode::Property;
  ChooseNoteProperties(QStringLiteral("Instr. C"), QStringLiteral("2"));
  Click(Grid1(), 3, 20);
  EXPECT_EQ(Stream1()[2], 0xC8);
  EXPECT_EQ(sq1_->CellText(3, 7), QStringLiteral("C8"));
  EXPECT_EQ(Grid1().ColumnWidth(4), 80);

  // 0x80 has the form of a property byte but is left uninterpreted.
  ChooseNoteProperties(QStringLiteral("Instr. 8"), QStringLiteral("Undefined / < 0.25"));
  Click(Grid1(), 3, 20);
  EXPECT_EQ(Stream1()[2], 0x80);
  EXPECT_EQ(sq1_->CellText(3, 7), QString());
  EXPECT_EQ(Grid1().ColumnWidth(4), 40);
  EXPECT_EQ(Pixel(Grid1(), 3, 7), Grid1().palette().color(QPalette::Base));
}

TEST_F(GridEditing, FirstByteOnlyTakesPropertiesAndWaitsForTheNextWriteBack) {
  ASSERT_NO_FATAL_FAILURE(LoadRomPart(Part({0x84, 0x30, 0x30, 0x00}, {0x84, 0x30, 0x7E})));
  ShowSquare1();
  ChooseNoteProperties(QStringLiteral("Instr. A"), QStringLiteral("0.5"));
  for (EditMode mode : {EditMode::Note, EditMode::Mute, EditMode::Property}) {
    settings_.editMode = mode;
    Stream1()[0] = 0x30;
    Click(Grid1(), 1, 10);
    EXPECT_EQ(Stream1()[0], 0xA2);
    EXPECT_EQ(Status(), QStringLiteral("First byte can only be a property byte!"));
    EXPECT_EQ(ImageByte(partStart_), 0x84) << "not written back yet";
  }
  settings_.editMode = EditMode::Note;
  Click(Grid1(), 2, 1);
  EXPECT_EQ(ImageByte(partStart_), 0xA2);
  EXPECT_EQ(ImageByte(partStart_ + 1), 0x7C);
}

TEST_F(GridEditing, LastColumnReplacesTheEndByteInTheImage) {
  ASSERT_NO_FATAL_FAILURE(LoadRomPart(Part({0x84, 0x30, 0x00}, {0x84, 0x30, 0x7E})));
  ShowSquare1();
  Click(Grid1(), 3, 1);
  EXPECT_EQ(Stream1().size(), 3u);
  EXPECT_EQ(Stream1()[2], 0x7C);
  EXPECT_EQ(ImageByte(partStart_ + 2), 0x7C);
  EXPECT_EQ(sq1_->CellText(3, 1), QStringLiteral("7"));
}

TEST_F(GridEditing, Square2ClicksMoveNotesWithinTheirOctaveOnly) {
  ASSERT_NO_FATAL_FAILURE(LoadRomPart(Part({0x84, 0x30, 0x00}, {0x84, 0x34, 0x7E, 0x18})));
  const std::int32_t square2At = state_.streamPosition[kSquare2Stream];
  ShowSquare2();
  Click(Grid2(), 2, 12);
  EXPECT_EQ(Stream2()[1], 0x30);
  EXPECT_EQ(sq2_->CellText(2, 12), QStringLiteral("4"));
  Click(Grid2(), 2, 10);
  EXPECT_EQ(Stream2()[1], 0x34);
  Click(Grid2(), 2, 0);
  EXPECT_EQ(Stream2()[1], 0x48);
  Click(Grid2(), 3, 4);  // silence
  Click(Grid2(), 1, 4);  // note properties
  EXPECT_EQ(Stream2(), (Bytes{0x84, 0x48, 0x7E, 0x18}));
  EXPECT_EQ(Status(), QStringLiteral("CASE X FREE"));

  // Square 2 edits reach the image with the next Square 1 edit.
  EXPECT_EQ(ImageByte(square2At + 1), 0x34);
  ShowSquare1();
  Click(Grid1(), 2, 62);
  EXPECT_EQ(ImageByte(partStart_ + 1), 0x02);
  EXPECT_EQ(ImageByte(square2At + 1), 0x48);
}

TEST_F(GridEditing, KeyboardMovesEditEveryCellTheyPass) {
  LoadStreams({0x84, 0x30, 0x30, 0x30, 0x30, 0x30, 0x00});
  ShowSquare1();
  Click(Grid1(), 2, 1);  // current cell (2, 1), byte 1 := 0x7C
  Grid1().setFocus();
  QTest::keyClick(&Grid1(), Qt::Key_Right);
  QTest::keyClick(&Grid1(), Qt::Key_Down);
  QTest::keyClick(&Grid1(), Qt::Key_Right);
  EXPECT_EQ(Stream1(), (Bytes{0x84, 0x7C, 0x7A, 0x7A, 0x30, 0x30, 0x00}));
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{4, 2}));

  // No move, no edit: the top row is the first that can be current.
  settings_.editMode = EditMode::Mute;
  QTest::keyClick(&Grid1(), Qt::Key_Up);
  QTest::keyClick(&Grid1(), Qt::Key_Up);
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{4, 1}));
  EXPECT_EQ(Stream1()[3], 0x7E);
  QTest::keyClick(&Grid1(), Qt::Key_Left);
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{3, 1}));
  EXPECT_EQ(Stream1()[2], 0x7E);
  QTest::keyClick(&Grid1(), Qt::Key_End);
  EXPECT_EQ(Stream1()[6], 0x7E);
  QTest::keyClick(&Grid1(), Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{7, 62}));
  EXPECT_TRUE(Grid1().VisibleCellRect(7, 62).has_value()) << "kept on view";
  QTest::keyClick(&Grid1(), Qt::Key_PageUp);
  EXPECT_LT(Grid1().CurrentCell().row, 62);
  EXPECT_TRUE(Grid1().VisibleCellRect(7, Grid1().CurrentCell().row).has_value());
  QTest::keyClick(&Grid1(), Qt::Key_PageDown);  // a page back down
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{7, 62}));
  QTest::keyClick(&Grid1(), Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Grid1().CurrentCell(), (GridCell{1, 1}));
  EXPECT_EQ(Status(), QStringLiteral("First byte can only be a property byte!"));
}

}  // namespace
}  // namespace kestrin::testing
