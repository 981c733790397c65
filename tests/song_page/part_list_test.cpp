#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

#include "part_streams.h"
#include "song_page_fixture.h"

namespace kestrin {
namespace {

demo::PartStreams WithTempo(std::uint8_t tempo) {
  demo::PartStreams streams;
  streams.tempo = tempo;
  return streams;
}

// Set 1 song 1 (drop-down position 0) holds parts 0 to 3; set 2 song 3
// (item "30") holds parts 0 and 1 of its own set.
class PartList : public SongPageTest {
 protected:
  PartList() {
    for (const int tempo : {0x1A, 0x20, 0x30, 0x40}) {
      builder_.AddPart(SongSet::One, WithTempo(static_cast<std::uint8_t>(tempo)));
    }
    builder_.SetSong(SongSet::One, 1, 0, 3, 0);
    builder_.AddPart(SongSet::Two, WithTempo(0x50));
    builder_.AddPart(SongSet::Two, WithTempo(0x60));
    builder_.SetSong(SongSet::Two, 3, 0, 1, 0);
  }

  // Rewrites the header of set 1 part 3 (list row 3).
  void SetLastPartHeader(std::array<std::uint8_t, kPartHeaderSize> header) {
    builder_.Poke(builder_.HeaderPosition(SongSet::One, 3), header);
  }

  void Start() {
    LoadImage(builder_);
    PickSong(0);
  }

  QStringList HeaderTexts() {
    QStringList shown;
    for (const char* name : {"E_ph1", "E_ph2", "E_ph4", "E_ph5", "E_ph6", "E_ph7"}) {
      shown << Box(name)->text();
    }
    return shown;
  }

  demo::RomBuilder builder_;
};

TEST_F(PartList, SelectingALineLoadsThePartWithoutChangingTheImage) {
  // Tempo 08, part address 0x0A30, every offset 0: a part that copies.
  SetLastPartHeader({0x08, 0x30, 0x0A, 0x00, 0x00, 0x00, 0x00});
  Start();
  const auto image = state.romImage;

  ClickPart(1);
  EXPECT_TRUE(state.partLoaded);
  EXPECT_EQ(Box("E_Parts")->text(), Parts()->item(1)->text());
  EXPECT_EQ(Box("E_ph1")->text(), "20");
  EXPECT_EQ(state.headerPosition, builder_.HeaderPosition(SongSet::One, 1));
  EXPECT_EQ(state.streamPosition[kSquare1Stream], builder_.PartStart(SongSet::One, 1));
  EXPECT_EQ(status.Text(), "Selected song 1");  // success says nothing

  ClickPart(3);  // every header box changes its text
  EXPECT_EQ(HeaderTexts(), QStringList({"08", "A30", "00", "00", "00", "00"}));
  EXPECT_EQ(state.romImage, image);
  EXPECT_TRUE(dialogs.Messages().empty());

  ClickPart(0);
  EXPECT_EQ(Box("E_ph1")->text(), "1A");
  EXPECT_EQ(state.romImage, image);

  // With no file loaded a line loads nothing and asks for one.
  state.fileLoaded = false;
  ClickPart(2);
  EXPECT_EQ(status.Text(), QStringLiteral("You should load a file first!"));
  EXPECT_EQ(state.headerPosition, builder_.HeaderPosition(SongSet::One, 0));
}

TEST_F(PartList, SecondSetSongLoadsFromItsOwnTables) {
  Start();
  PickSong(PositionOf("30"));
  ClickPart(1);
  EXPECT_EQ(Box("E_ph1")->text(), "60");
  EXPECT_EQ(state.headerPosition, builder_.HeaderPosition(SongSet::Two, 1));
  EXPECT_TRUE(state.partLoaded);
}

TEST_F(PartList, PartThatCannotBeLoadedLeavesEverythingAsItWas) {
  // Its first stream would run to the end of the image without a zero byte.
  SetLastPartHeader({0x08, 0x00, 0xBF, 0x00, 0x00, 0x00, 0x00});
  Start();
  ClickPart(0);
  const QStringList shown = HeaderTexts();
  const auto header = state.partHeader;

  ClickPart(3);
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text, QStringLiteral("Could not load song part!"));
  EXPECT_EQ(dialogs.Messages()[0].title, "Error");
  EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::OkError);
  EXPECT_EQ(HeaderTexts(), shown);
  EXPECT_EQ(state.partHeader, header);
}

TEST_F(PartList, PartWhoseChannelsCannotBeCopiedShowsItsHeaderAndIsNotEditable) {
  // Square 2 offset below the triangle offset: a negative stream length.
  SetLastPartHeader({0x33, 0x00, 0xA0, 0x01, 0x02, 0x03, 0x04});
  Start();
  ClickPart(2);
  const auto image = state.romImage;

  ClickPart(3);
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text, QStringLiteral("Could not copy channels into buffer for editing!"));
  EXPECT_EQ(dialogs.Messages()[0].title, "Error!");
  EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::OkError);
  EXPECT_EQ(HeaderTexts(), QStringList({"33", "A000", "01", "02", "03", "04"}));
  EXPECT_EQ(state.headerPosition, builder_.HeaderPosition(SongSet::One, 3));
  EXPECT_FALSE(state.partLoaded);
  EXPECT_FALSE(state.channels.has_value());
  EXPECT_EQ(Box("E_Parts")->text(), Parts()->item(2)->text());
  EXPECT_EQ(state.romImage, image);
}

TEST_F(PartList, ChannelEditsNotYetStoredSurviveChoosingAnotherPart) {
  Start();
  ClickPart(0);
  ASSERT_TRUE(state.channels.has_value());
  const std::int32_t square2At = state.streamPosition[kSquare2Stream];
  state.channels->edit[kSquare2Stream][1] = 0x45;

  ClickPart(1);
  EXPECT_EQ(ImageAt(square2At + 1), 0x45);
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(PartList, EnterInThePartBoxRewritesTheSelectedEntry) {
  Start();
  ClickPart(2);
  const QStringList header = HeaderTexts();
  TypeAndEnter(Box("E_Parts"), "1F");
  EXPECT_EQ(ImageAt(PartTableAt(SongSet::One, 2)), 0x1F);
  EXPECT_EQ(Parts()->item(2)->text(), "1F");
  EXPECT_TRUE(Parts()->selectedItems().isEmpty());
  EXPECT_EQ(HeaderTexts(), header);
  EXPECT_EQ(status.Text(), "Selected song 1");
}

TEST_F(PartList, EnterInThePartBoxUsesTheSecondSetTableForItsSongs) {
  Start();
  PickSong(PositionOf("30"));
  ClickPart(1);
  const auto set1Table = ImageAt(PartTableAt(SongSet::One, 1));
  TypeAndEnter(Box("E_Parts"), "1F");
  EXPECT_EQ(ImageAt(PartTableAt(SongSet::Two, 1)), 0x1F);
  EXPECT_EQ(ImageAt(PartTableAt(SongSet::One, 1)), set1Table);
  EXPECT_EQ(ListLines().value(1), "1F");
  EXPECT_TRUE(Parts()->selectedItems().isEmpty());
}

TEST_F(PartList, PartBoxRefusesZeroAndAMissingLine) {
  Start();
  ClickPart(1);
  const auto image = state.romImage;
  for (const char* zero : {"0", "00", "G"}) {
    status.Set("");
    TypeAndEnter(Box("E_Parts"), zero);
    EXPECT_EQ(status.Text(), QStringLiteral("Invalid number")) << zero;
  }
  EXPECT_EQ(state.romImage, image);
  EXPECT_EQ(Parts()->selectedItems().size(), 1);

  TypeAndEnter(Box("E_Parts"), "1F");
  ASSERT_TRUE(Parts()->selectedItems().isEmpty());
  const auto afterFirst = state.romImage;
  TypeAndEnter(Box("E_Parts"), "2F");
  EXPECT_EQ(status.Text(), QStringLiteral("You should select a part first!"));
  EXPECT_EQ(state.romImage, afterFirst);
}

TEST_F(PartList, PartBoxTakesTwoTypedCharactersButShowsItsStartText) {
  QLineEdit* box = Box("E_Parts");
  EXPECT_EQ(box->text(), "E_Parts");
  // The start text can be edited away character by character...
  box->setCursorPosition(static_cast<int>(box->text().size()));
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(box->text(), "E_Part");
  QTest::keyClick(box, Qt::Key_A);  // ...but not grown
  EXPECT_EQ(box->text(), "E_Part");
  Type(box, "1F3");
  EXPECT_EQ(box->text(), "1F");
}

TEST_F(PartList, PartBoxRefusesEveryEditThatLeavesMoreThanTwoCharacters) {
  QLineEdit* box = Box("E_Parts");
  box->setFocus();
  // "Parts" selected and replaced by a typed 1 would leave "E_1".
  QTest::keyClick(box, Qt::Key_Home);
  QTest::keyClick(box, Qt::Key_Right);
  QTest::keyClick(box, Qt::Key_Right);
  QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
  ASSERT_EQ(box->selectedText(), "Parts");
  QTest::keyClick(box, Qt::Key_1);
  EXPECT_EQ(box->text(), "E_Parts");
  // Taking the selection out only deletes.
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(box->text(), "E_");
  QTest::keyClick(box, Qt::Key_1);
  EXPECT_EQ(box->text(), "E_");

  // A paste into a short text keeps what fits; into a full one, nothing.
  Type(box, "");
  QApplication::clipboard()->setText(QStringLiteral("ABC"));
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box->text(), "AB");
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box->text(), "AB");
}

TEST_F(PartList, ClickingTheSelectedLineAgainReloadsItsHeader) {
  Start();
  for (const int row : {1, 0}) {  // the first line as well
    SCOPED_TRACE(row);
    ClickPart(row);
    const std::int32_t oldStart = state.streamPosition[kSquare1Stream];
    // A new part address takes effect when the line is selected again.
    Type(Box("E_ph2"), "A100");
    ClickPart(row);
    EXPECT_EQ(state.streamPosition[kSquare1Stream], 0x38110);
    EXPECT_NE(state.streamPosition[kSquare1Stream], oldStart);
  }
}

TEST_F(PartList, ClicksOnBlankSpaceOrWithCtrlKeepTheSelectedLine) {
  Start();
  ClickPart(2);
  QListWidget* list = Parts();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->viewport()->height() - 3));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    list->visualItemRect(list->item(2)).center());
  ASSERT_EQ(list->selectedItems().size(), 1);
  EXPECT_EQ(list->row(list->selectedItems().front()), 2);
}

}  // namespace
}  // namespace kestrin

namespace kestrin {
namespace {

TEST_F(PartList, HeaderBytesShowTwoDigitsAndTheAddressNone) {
  SetLastPartHeader({0x10, 0x05, 0x00, 0x0F, 0x09, 0x10, 0xFF});
  Start();
  ClickPart(3);
  EXPECT_EQ(HeaderTexts(), QStringList({"10", "5", "0F", "09", "10", "FF"}));
}

TEST_F(PartList, PickingAnotherSongKeepsTheLoadedPartAndItsBoxes) {
  Start();
  ClickPart(2);
  ASSERT_TRUE(state.partLoaded);
  state.channels->edit[kSquare1Stream][1] = 0x44;  // an edit not yet stored
  const QStringList header = HeaderTexts();
  const QString partsText = Box("E_Parts")->text();
  const std::int32_t headerAt = state.headerPosition;
  const auto positions = state.streamPosition;
  const auto lengths = state.streamLength;
  const auto buffers = state.channels->edit;
  const auto image = state.romImage;

  PickSong(PositionOf("30"));
  // The song's own boxes and lines change...
  EXPECT_EQ(status.Text(), "Selected song 12");
  EXPECT_EQ(Box("E_firstPart")->text(), "0");
  EXPECT_EQ(Box("E_lastPart")->text(), "1");
  EXPECT_EQ(ListLines().size(), 2);
  EXPECT_TRUE(Parts()->selectedItems().isEmpty());
  // ...nothing else on the page does.
  EXPECT_EQ(HeaderTexts(), header);
  EXPECT_EQ(Box("E_Parts")->text(), partsText);
  EXPECT_TRUE(state.partLoaded);
  EXPECT_EQ(state.headerPosition, headerAt);
  EXPECT_EQ(state.streamPosition, positions);
  EXPECT_EQ(state.streamLength, lengths);
  ASSERT_TRUE(state.channels.has_value());
  EXPECT_EQ(state.channels->edit, buffers);
  EXPECT_EQ(state.romImage, image);
  EXPECT_TRUE(dialogs.Messages().empty());
}

}  // namespace
}  // namespace kestrin
