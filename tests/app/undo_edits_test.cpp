// Each kind of edit, made through the real widgets, then taken back and done
// again through the Edit menu; the history's lifetime across Save and Open;
// the menu itself.
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "shell_texts.h"
#include "undo_fixture.h"

namespace kestrin {
namespace {

using testing::Bytes;

class UndoEditsTest : public testing::UndoFixture {};

std::uint8_t NoteForRow(int row) { return static_cast<std::uint8_t>(126 - 2 * row); }

// A Square 1 row whose note none of `bytes` holds.
int RowNotHeldBy(const Bytes& bytes) {
  for (int row = 1; row <= 62; ++row) {
    if (std::find(bytes.begin(), bytes.end(), NoteForRow(row)) == bytes.end()) return row;
  }
  return 1;
}

TEST_F(UndoEditsTest, Square1ClickIsUndoneAndRedoneInImageBufferAndGrid) {
  LoadPart();
  ShowPage("T_Square1");
  const auto* page = Find<Square1Page>("T_Square1");
  const std::int32_t at = StreamAt(0) + 2;
  const int row = RowNotHeldBy({Image()[static_cast<std::size_t>(at)]});
  const QString textBefore = page->CellText(3, row);

  ClickCell(Grid("Sq1_StrGrid"), 3, row);
  ASSERT_EQ(Image()[static_cast<std::size_t>(at)], NoteForRow(row));
  const QString textAfter = page->CellText(3, row);
  EXPECT_NE(textAfter, textBefore);
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo note edit on Square 1 (song 01, line 1)"));

  Undo();
  EXPECT_EQ(Image(), original);
  EXPECT_EQ(Buffer(0)[2], original[static_cast<std::size_t>(at)]);
  EXPECT_EQ(page->CellText(3, row), textBefore);
  EXPECT_EQ(Action("Redo1")->text(), QStringLiteral("&Redo note edit on Square 1 (song 01, line 1)"));

  Redo();
  EXPECT_EQ(Image()[static_cast<std::size_t>(at)], NoteForRow(row));
  EXPECT_EQ(Buffer(0)[2], NoteForRow(row));
  EXPECT_EQ(page->CellText(3, row), textAfter);
}

TEST_F(UndoEditsTest, KeyboardRunOfThreeCellsIsThreeSteps) {
  LoadPart();
  ShowPage("T_Square1");
  ChannelGrid& grid = Grid("Sq1_StrGrid");
  const Bytes square1 = Buffer(0);
  const Bytes firstFour(square1.begin(), square1.begin() + 4);
  const int row = RowNotHeldBy(firstFour);

  ClickCell(grid, 2, row);
  QTest::keyClick(&grid, Qt::Key_Right);
  QTest::keyClick(&grid, Qt::Key_Right);
  ASSERT_EQ(Stack().count(), 3);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(Buffer(0)[static_cast<std::size_t>(k)], NoteForRow(row));

  // Each undo takes back one cell, the last one first.
  for (int undone = 1; undone <= 3; ++undone) {
    Undo();
    for (int k = 1; k <= 3; ++k) {
      const bool back = k > 3 - undone;
      EXPECT_EQ(Buffer(0)[static_cast<std::size_t>(k)],
                back ? firstFour[static_cast<std::size_t>(k)] : NoteForRow(row))
          << "after " << undone << " undo(s), byte " << k;
    }
  }
  EXPECT_EQ(Image(), original);
  EXPECT_FALSE(Action("Undo1")->isEnabled());
}

TEST_F(UndoEditsTest, FirstByteEditUndoesWithoutStoringAnythingLater) {
  LoadPart();
  ShowPage("T_Square1");
  // "Instr. C" and "Undefined / < 0.25" compose 0xC0.
  Find<QComboBox>("CB_Instruments")->setCurrentIndex(4);
  Find<QComboBox>("CB_NoteLength")->setCurrentIndex(0);
  const std::uint8_t before = Buffer(0)[0];
  ASSERT_NE(before, 0xC0);

  ClickCell(Grid("Sq1_StrGrid"), 1, 5);
  ASSERT_EQ(Buffer(0)[0], 0xC0);
  EXPECT_EQ(Image(), original);  // waits for the write-back
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo first byte edit on Square 1 (song 01, line 1)"));

  Undo();
  EXPECT_EQ(Buffer(0)[0], before);
  Trigger("Save1");
  EXPECT_EQ(ReadFile(path), original);

  Redo();
  EXPECT_EQ(Buffer(0)[0], 0xC0);
  Trigger("Save1");
  Bytes expected = original;
  expected[static_cast<std::size_t>(StreamAt(0))] = 0xC0;
  EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(UndoEditsTest, Square2RepitchUndoesAlsoAfterAWriteBackCarriedIt) {
  LoadPart();
  ShowPage("T_Square2");
  const Bytes square2 = Buffer(1);
  // The first note byte of stream 2 and a row that moves it.
  std::size_t k = 0;
  while (k < square2.size() && !(square2[k] >= 0x01 && square2[k] <= 0x7D && square2[k] % 2 == 0)) ++k;
  ASSERT_LT(k, square2.size());
  const std::uint8_t b = square2[k];
  const int row = (12 - (b % 24) / 2) == 12 ? 11 : 12;
  const auto moved = static_cast<std::uint8_t>(b - b % 24 + 24 - 2 * row);

  ClickCell(Grid("Sq2_StrGrid"), static_cast<int>(k) + 1, row);
  ASSERT_EQ(Buffer(1)[k], moved);
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo note edit on Square 2 (song 01, line 1)"));

  // A Square 1 edit writes the pending Square 2 byte back with it.
  ShowPage("T_Square1");
  ClickCell(Grid("Sq1_StrGrid"), 2, RowNotHeldBy({Buffer(0)[1]}));
  const auto at = static_cast<std::size_t>(StreamAt(1)) + k;
  ASSERT_EQ(Image()[at], moved);

  Undo();  // the Square 1 edit: the Square 2 byte waits again
  EXPECT_EQ(Image(), original);
  EXPECT_EQ(Buffer(1)[k], moved);
  Undo();
  EXPECT_EQ(Buffer(1)[k], b);
  Trigger("Save1");
  EXPECT_EQ(ReadFile(path), original);

  Redo();
  Redo();
  EXPECT_EQ(Image()[at], moved);
  EXPECT_EQ(Buffer(1)[k], moved);
}

TEST_F(UndoEditsTest, CellEditOfAPartNoLongerLoadedIsUndoneInTheImage) {
  LoadPart(0);
  ShowPage("T_Square2");
  const Bytes square2 = Buffer(1);
  std::size_t k = 0;
  while (k < square2.size() && !(square2[k] >= 0x01 && square2[k] <= 0x7D && square2[k] % 2 == 0)) ++k;
  ASSERT_LT(k, square2.size());
  const int row = (12 - (square2[k] % 24) / 2) == 12 ? 11 : 12;
  const auto at = static_cast<std::size_t>(StreamAt(1)) + k;
  ClickCell(Grid("Sq2_StrGrid"), static_cast<int>(k) + 1, row);

  ShowPage("T_Song");
  ClickPart(1);  // choosing another part writes the pending byte back
  ASSERT_NE(Image()[at], original[at]);
  Undo();
  EXPECT_EQ(Image(), original);
  Redo();
  EXPECT_NE(Image()[at], original[at]);
}

TEST_F(UndoEditsTest, TempoTypedAsTwoKeystrokesIsOneStep) {
  LoadPart();
  const auto at = static_cast<std::size_t>(State().headerPosition);
  const std::uint8_t before = Image()[at];
  ASSERT_NE(before, 0x27);

  Type("E_ph1", QStringLiteral("27"));
  ASSERT_EQ(Image()[at], 0x27);
  EXPECT_EQ(Stack().count(), 1);
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo Tempo (song 01, line 1)"));

  Undo();
  EXPECT_EQ(Image(), original);
  EXPECT_EQ(State().partHeader[0], before);
  const QString shown = before < 0x10 ? QStringLiteral("0%1").arg(before, 0, 16).toUpper()
                                      : QString::number(before, 16).toUpper();
  EXPECT_EQ(Find<QLineEdit>("E_ph1")->text(), shown);
  EXPECT_FALSE(Action("Undo1")->isEnabled());

  Redo();
  EXPECT_EQ(Image()[at], 0x27);
  EXPECT_EQ(Find<QLineEdit>("E_ph1")->text(), QStringLiteral("27"));
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo Tempo (song 01, line 1)"));
}

TEST_F(UndoEditsTest, LeavingTheBoxStartsANewStep) {
  LoadPart();
  Type("E_ph1", QStringLiteral("27"));
  Find<QLineEdit>("E_ph4")->setFocus();  // editing of E_ph1 finished
  Type("E_ph1", QStringLiteral("31"));
  EXPECT_EQ(Stack().count(), 2);
}

TEST_F(UndoEditsTest, UndoKeyInAHeaderBoxUndoesTheStep) {
  LoadPart();
  Type("E_ph1", QStringLiteral("27"));
  QTest::keyClick(Find<QLineEdit>("E_ph1"), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Image(), original);
  // The history took the step back (the box's own undo would have made a
  // new change instead).
  EXPECT_TRUE(Action("Redo1")->isEnabled());
  QTest::keyClick(Find<QLineEdit>("E_ph1"), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Image()[static_cast<std::size_t>(State().headerPosition)], 0x27);

  // In another box, too.
  Find<QLineEdit>("E_ph4")->setFocus();
  QTest::keyClick(Find<QLineEdit>("E_ph4"), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Image(), original);
}

TEST_F(UndoEditsTest, PartAddressIsOneStepForBothBytes) {
  LoadPart();
  const auto at = static_cast<std::size_t>(State().headerPosition);
  Type("E_ph2", QStringLiteral("1234"));
  ASSERT_EQ(Image()[at + 1], 0x34);
  ASSERT_EQ(Image()[at + 2], 0x12);
  EXPECT_EQ(Stack().count(), 1);
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo Part Address (song 01, line 1)"));
  Undo();
  EXPECT_EQ(Image(), original);
  EXPECT_EQ(State().partHeader[1], original[at + 1]);
  EXPECT_EQ(State().partHeader[2], original[at + 2]);
  Redo();
  EXPECT_EQ(Image()[at + 1], 0x34);
  EXPECT_EQ(Image()[at + 2], 0x12);
}

TEST_F(UndoEditsTest, FirstPartKeepsItsWarningAndIsUndone) {
  PickSong(0);
  const QString firstBefore = Find<QLineEdit>("E_firstPart")->text();
  const int linesBefore = Find<QListWidget>("LB_Parts")->count();
  const auto at = static_cast<std::size_t>(State().firstPartPosition);

  TypeAndEnter("E_firstPart", QStringLiteral("FF"));
  ASSERT_EQ(Image()[at], 0xFF);
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text,
            QStringLiteral("First part is higher than last part, the game may not work properly!"));
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo First part (song 01)"));

  Undo();
  EXPECT_EQ(Image(), original);
  EXPECT_EQ(Find<QLineEdit>("E_firstPart")->text(), firstBefore);
  EXPECT_EQ(Find<QListWidget>("LB_Parts")->count(), linesBefore);
  EXPECT_EQ(dialogs.Messages().size(), 1u);  // undo warns about nothing
  Redo();
  EXPECT_EQ(Image()[at], 0xFF);
  EXPECT_EQ(Find<QLineEdit>("E_firstPart")->text(), QStringLiteral("FF"));
}

TEST_F(UndoEditsTest, PartListEntryIsUndoneAndTheListShowsIt) {
  PickSong(0);
  ClickPart(0);
  const QString lineBefore = Find<QListWidget>("LB_Parts")->item(0)->text();
  ASSERT_NE(lineBefore, QStringLiteral("1F"));
  TypeAndEnter("E_Parts", QStringLiteral("1F"));
  ASSERT_EQ(Find<QListWidget>("LB_Parts")->item(0)->text(), QStringLiteral("1F"));
  EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo part list entry (song 01, line 1)"));

  Undo();
  EXPECT_EQ(Image(), original);
  EXPECT_EQ(Find<QListWidget>("LB_Parts")->item(0)->text(), lineBefore);
  Redo();
  EXPECT_EQ(Find<QListWidget>("LB_Parts")->item(0)->text(), QStringLiteral("1F"));
}

TEST_F(UndoEditsTest, UndoAfterSaveThenSaveAgainWritesTheUndoneImage) {
  LoadPart();
  Type("E_ph1", QStringLiteral("27"));
  Trigger("Save1");
  ASSERT_NE(ReadFile(path), original);
  EXPECT_TRUE(Action("Undo1")->isEnabled());  // saving keeps the history
  Undo();
  Trigger("Save1");
  EXPECT_EQ(ReadFile(path), original);
}

TEST_F(UndoEditsTest, OpenClearsTheHistory) {
  LoadPart();
  Type("E_ph1", QStringLiteral("27"));
  Undo();
  ASSERT_TRUE(Action("Redo1")->isEnabled());
  Type("E_ph1", QStringLiteral("31"));
  ASSERT_TRUE(Action("Undo1")->isEnabled());
  Open();
  EXPECT_FALSE(Action("Undo1")->isEnabled());
  EXPECT_FALSE(Action("Redo1")->isEnabled());
  EXPECT_EQ(Stack().count(), 0);
}

TEST_F(UndoEditsTest, AnEditThatChangesNoByteIsNoStep) {
  LoadPart();
  const QString tempo = Find<QLineEdit>("E_ph1")->text();
  Type("E_ph1", tempo);  // types the same value again
  PickSong(0);           // reading a song writes nothing
  ClickPart(1);          // nor does choosing a part
  EXPECT_EQ(Stack().count(), 0);
  EXPECT_FALSE(Action("Undo1")->isEnabled());
}

TEST_F(UndoEditsTest, EditMenuFollowsFileWithItsKeysAndStates) {
  const QList<QAction*> menus = window.menuBar()->actions();
  ASSERT_GE(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
  EXPECT_EQ(menus[1]->text(), QStringLiteral("&Edit"));
  EXPECT_EQ(menus[1]->menu()->objectName(), QStringLiteral("Edit1"));
  const QList<QAction*> file = menus[0]->menu()->actions();
  ASSERT_EQ(file.size(), 5);
  EXPECT_EQ(file[0]->text(), QStringLiteral("&Open"));
  EXPECT_EQ(file[3]->isSeparator(), true);
  EXPECT_TRUE(file[4]->shortcuts().isEmpty());  // Exit

  const QList<QAction*> edit = menus[1]->menu()->actions();
  ASSERT_EQ(edit.size(), 2);
  EXPECT_EQ(edit[0], Action("Undo1"));
  EXPECT_EQ(edit[1], Action("Redo1"));
  EXPECT_EQ(edit[0]->text(), QStringLiteral("&Undo"));
  EXPECT_EQ(edit[1]->text(), QStringLiteral("&Redo"));
  EXPECT_FALSE(edit[0]->isEnabled());
  EXPECT_FALSE(edit[1]->isEnabled());
  EXPECT_EQ(edit[0]->shortcuts(), QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z"))});
  EXPECT_EQ(edit[1]->shortcuts(),
            (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))}));

  LoadPart();
  Type("E_ph1", QStringLiteral("27"));
  EXPECT_TRUE(edit[0]->isEnabled());
  EXPECT_FALSE(edit[1]->isEnabled());
  Undo();
  EXPECT_FALSE(edit[0]->isEnabled());
  EXPECT_TRUE(edit[1]->isEnabled());
  EXPECT_EQ(edit[1]->text(), QStringLiteral("&Redo Tempo (song 01, line 1)"));
}

}  // namespace
}  // namespace kestrin
