#include <QLineEdit>
#include <iterator>

#include "song_page_fixture.h"

namespace kestrin {
namespace {

// Every song of both sets gets first = last = loop part of a value of its
// own, so a page showing it proves which table bytes were read.
std::uint8_t MarkOf(SongSet set, int index) {
  return static_cast<std::uint8_t>((set == SongSet::One ? 0x10 : 0x40) + index);
}

demo::RomBuilder MarkedSongs() {
  demo::RomBuilder builder;
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    for (int index = 0; index <= kHighestSongTableIndex; ++index) {
      const int mark = MarkOf(set, index);
      builder.SetSong(set, index, mark, mark, mark);
      builder.Poke(LayoutOf(set).partTable + mark, static_cast<std::uint8_t>(mark + 1));
    }
  }
  return builder;
}

using SongSelection = SongPageTest;

TEST_F(SongSelection, StartsWithTheFirstTitleShownAndNothingSelected) {
  ASSERT_EQ(Songs()->count(), static_cast<int>(kSongList.size()));
  EXPECT_EQ(Songs()->currentIndex(), -1);
  EXPECT_EQ(Songs()->currentText().toStdString(), kSongList[0].text);
  EXPECT_EQ(Songs()->lineEdit()->cursorPosition(), 0) << "the title shown from its start";
  EXPECT_TRUE(Songs()->isEditable());
  for (const char* name : {"E_firstPart", "E_lastPart", "E_loopPart", "E_ph1", "E_ph2", "E_ph4",
                           "E_ph5", "E_ph6", "E_ph7"}) {
    EXPECT_EQ(Box(name)->text(), "00") << name;
  }
  EXPECT_EQ(Box("E_Parts")->text(), "E_Parts");
  EXPECT_EQ(Parts()->count(), 0);
}

TEST_F(SongSelection, WithoutAFileOnlyAsksForOne) {
  PickSong(3);
  EXPECT_EQ(status.Text(), QStringLiteral("You should open a file first!"));
  EXPECT_EQ(Box("E_firstPart")->text(), "00");
  EXPECT_EQ(Parts()->count(), 0);
}

// The drop-down's items in order, each with the set and table index of the
// song it reads.
struct Item {
  const char* text;
  SongSet set;
  int tableIndex;
};
constexpr Item kItems[] = {
    {"01-Morning Field", SongSet::One, 0x01}, {"02-Stone Road", SongSet::One, 0x02},
    {"03-River Crossing", SongSet::One, 0x03}, {"04-Quiet Village", SongSet::One, 0x04},
    {"05-Iron Gate", SongSet::One, 0x05},     {"06-Deep Cavern", SongSet::One, 0x06},
    {"07-Windy Ridge", SongSet::One, 0x07},   {"08-Old Tower", SongSet::One, 0x08},
    {"09-Night March", SongSet::One, 0x09},   {"0A-Lantern Hall", SongSet::One, 0x0A},
    {"0B-Frozen Lake", SongSet::One, 0x0B},   {"0C-Last Stand", SongSet::One, 0x0C},
    {"0D-Homeward", SongSet::One, 0x0D},      {"0E-Long Rest", SongSet::One, 0x0E},
    {"0F", SongSet::Two, 0x0F},               {"10", SongSet::Two, 0x01},
    {"20", SongSet::Two, 0x02},               {"30", SongSet::Two, 0x03},
    {"40", SongSet::Two, 0x04},               {"50", SongSet::Two, 0x05},
    {"60", SongSet::Two, 0x06},               {"70", SongSet::Two, 0x07},
    {"80", SongSet::Two, 0x08},               {"90", SongSet::Two, 0x09},
    {"A0", SongSet::Two, 0x0A},               {"B0", SongSet::Two, 0x0B},
};

TEST_F(SongSelection, EachItemReadsItsOwnSongAndReportsItsPosition) {
  LoadImage(MarkedSongs());
  ASSERT_EQ(Songs()->count(), static_cast<int>(std::size(kItems)));
  for (int position = 0; position < static_cast<int>(std::size(kItems)); ++position) {
    SCOPED_TRACE(position);
    PickSong(position);
    const Item& item = kItems[position];
    const QString mark = QString::number(MarkOf(item.set, item.tableIndex), 16).toUpper();
    EXPECT_EQ(Songs()->itemText(position), item.text);
    EXPECT_EQ(state.songSet, item.set);
    EXPECT_EQ(Box("E_firstPart")->text(), mark);
    EXPECT_EQ(Box("E_lastPart")->text(), mark);
    EXPECT_EQ(Box("E_loopPart")->text(), mark);
    ASSERT_EQ(Parts()->count(), 1);
    EXPECT_EQ(Parts()->item(0)->text(),
              QString::number(MarkOf(item.set, item.tableIndex) + 1, 16).toUpper());
    EXPECT_EQ(status.Text(), "Selected song " + QString::number(position + 1, 16).toUpper());
  }
}

TEST_F(SongSelection, OddItemsOfTheSecondSet) {
  LoadImage(MarkedSongs());
  PickSong(PositionOf("0F"));
  EXPECT_EQ(Box("E_firstPart")->text(), "4F");
  EXPECT_EQ(status.Text(), "Selected song F");
  PickSong(PositionOf("20"));
  EXPECT_EQ(Box("E_firstPart")->text(), "42");
  EXPECT_EQ(status.Text(), "Selected song 11");
  PickSong(PositionOf("B0"));
  EXPECT_EQ(Box("E_firstPart")->text(), "4B");
  EXPECT_EQ(status.Text(), "Selected song 1A");
}

TEST_F(SongSelection, NoSelectedItemReadsSongZeroOfTheFirstSet) {
  LoadImage(MarkedSongs());
  state.songSet = SongSet::Two;
  page.CB_SongSelectChange();
  EXPECT_EQ(state.songSet, SongSet::One);
  EXPECT_EQ(Box("E_firstPart")->text(), "10");
  EXPECT_EQ(status.Text(), "Selected song 0");
}

TEST_F(SongSelection, KeyboardAndTypingDriveTheDropDown) {
  // Picked and typed over before a file is open: the keys still pick once
  // one is.
  QTest::keyClick(Songs(), Qt::Key_Down);
  QTest::keyClicks(Songs(), "x");
  ASSERT_EQ(Songs()->currentIndex(), -1);
  LoadImage(MarkedSongs());
  QTest::keyClick(Songs(), Qt::Key_Down);
  EXPECT_EQ(Songs()->currentIndex(), 0);
  EXPECT_EQ(status.Text(), "Selected song 1");
  QTest::keyClick(Songs(), Qt::Key_Down);
  EXPECT_EQ(status.Text(), "Selected song 2");
  EXPECT_EQ(Box("E_firstPart")->text(), "12");

  // A typed text names no item: song 0 of the first set, text kept as typed.
  // The picked title was selected, so the typing replaced it.
  QTest::keyClicks(Songs(), "x");
  EXPECT_EQ(Songs()->currentIndex(), -1);
  EXPECT_EQ(Songs()->currentText(), "x");
  QTest::keyClicks(Songs(), "y");
  EXPECT_EQ(Songs()->currentText(), "xy");
  EXPECT_EQ(status.Text(), "Selected song 0");
  EXPECT_EQ(Box("E_firstPart")->text(), "10");
  EXPECT_EQ(Songs()->count(), static_cast<int>(kSongList.size()));
}

TEST_F(SongSelection, PickingFromTheListByKeysReadsTheSong) {
  LoadImage(MarkedSongs());
  PickSongByKeys(PositionOf("20"));
  EXPECT_EQ(Songs()->currentIndex(), 16);
  EXPECT_EQ(Box("E_firstPart")->text(), "42");
  EXPECT_EQ(status.Text(), "Selected song 11");
  PickSongByKeys(2);
  EXPECT_EQ(Box("E_firstPart")->text(), "13");
  EXPECT_EQ(status.Text(), "Selected song 3");
}

TEST_F(SongSelection, LeavingTheBoxReadsNoSong) {
  // Without a file the page would only ask for one; nothing asks here.
  status.Set(QStringLiteral("Welcome"));
  ActivatePage();
  Songs()->setFocus();
  ASSERT_TRUE(Songs()->hasFocus());
  QTest::keyClick(Songs(), Qt::Key_Tab);
  EXPECT_FALSE(Songs()->hasFocus());
  EXPECT_EQ(status.Text(), "Welcome");

  // With a file the shown title names item 0, yet no song is read.
  LoadImage(MarkedSongs());
  Songs()->setFocus();
  ASSERT_TRUE(Songs()->hasFocus());
  QTest::keyClick(Songs(), Qt::Key_Tab);
  EXPECT_EQ(status.Text(), "Welcome");
  EXPECT_EQ(Box("E_firstPart")->text(), "00");
  EXPECT_EQ(Parts()->count(), 0);
  EXPECT_EQ(Songs()->currentIndex(), -1);
  EXPECT_EQ(Songs()->currentText(), "01-Morning Field");
}

TEST_F(SongSelection, EnterAfterTypingAnItemsTextReadsNothingMore) {
  LoadImage(MarkedSongs());
  Songs()->setFocus();
  Songs()->lineEdit()->selectAll();
  QTest::keyClicks(Songs(), "0F");
  // Typed text selects no item: set 1, index 0.
  EXPECT_EQ(Box("E_firstPart")->text(), "10");
  EXPECT_EQ(status.Text(), "Selected song 0");

  status.Set(QStringLiteral("before Enter"));
  QTest::keyClick(Songs(), Qt::Key_Return);
  EXPECT_EQ(status.Text(), "before Enter");
  EXPECT_EQ(Box("E_firstPart")->text(), "10");
  EXPECT_EQ(Songs()->currentIndex(), -1);
  EXPECT_EQ(Songs()->currentText(), "0F");

  // The song the page refreshes is still the one that was read: set 1
  // song 0, not the second set's "0F".
  TypeAndEnter(Box("E_lastPart"), "11");
  EXPECT_EQ(ImageAt(LastPartAt(SongSet::One, 0)), 0x11);
  EXPECT_EQ(ImageAt(LastPartAt(SongSet::Two, 0x0F)), MarkOf(SongSet::Two, 0x0F));
  EXPECT_EQ(status.Text(), "Selected song 0");
}

TEST_F(SongSelection, PickedTitleIsShownFromItsStart) {
  LoadImage(MarkedSongs());
  QLineEdit* line = Songs()->lineEdit();
  PickSong(PositionOf("03-River Crossing"));
  EXPECT_EQ(line->text(), "03-River Crossing");
  EXPECT_EQ(line->cursorPosition(), 0);
  PickSongByKeys(PositionOf("0E-Long Rest"));
  EXPECT_EQ(line->cursorPosition(), 0);
  QTest::keyClick(Songs(), Qt::Key_Up);  // the arrow keys pick as well
  EXPECT_EQ(line->text(), "0D-Homeward");
  EXPECT_EQ(line->cursorPosition(), 0);
  PickSong(PositionOf("0D-Homeward"));  // the shown song again: its text is set anew
  EXPECT_EQ(line->cursorPosition(), 0);
  // The first character sits at the box's left edge, not scrolled away.
  line->grab();
  const QRect cursor = line->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_LT(cursor.center().x(), line->fontMetrics().horizontalAdvance(QStringLiteral("0")));
}

TEST_F(SongSelection, ListShowsEveryTitleWhole) {
  QFont wide = page.font();
  wide.setPixelSize(16);
  page.setFont(wide);
  QTest::mouseClick(Songs(), Qt::LeftButton, {}, ArrowPoint());
  QAbstractItemView* list = Songs()->view();
  ASSERT_TRUE(list->isVisible());
  int widest = 0;
  for (const SongListItem& item : kSongList) {
    widest = std::max(widest, list->fontMetrics().horizontalAdvance(
                                  QString::fromLatin1(item.text.data(), static_cast<qsizetype>(item.text.size()))));
  }
  EXPECT_GT(widest, Songs()->width());  // the titles are wider than the box
  EXPECT_GE(list->viewport()->width(), widest);
  QTest::keyClick(list, Qt::Key_Escape);
}

TEST_F(SongSelection, PickingTheShownSongAgainReadsItAgain) {
  LoadImage(MarkedSongs());
  PickSong(4);
  ASSERT_EQ(Box("E_firstPart")->text(), "15");
  // Another image with other bytes for the same song, as after File > Open.
  state.romImage[static_cast<std::size_t>(FirstPartAt(SongSet::One, 5))] = 0x77;
  PickSong(4);
  EXPECT_EQ(Box("E_firstPart")->text(), "77");
}

TEST_F(SongSelection, ChangingTheIndexFromCodeReadsTheSong) {
  LoadImage(MarkedSongs());
  Songs()->setCurrentIndex(PositionOf("30"));
  EXPECT_EQ(Box("E_firstPart")->text(), "43");
  EXPECT_EQ(status.Text(), "Selected song 12");
}

TEST_F(SongSelection, ListHasOneLinePerPartFromFirstToLast) {
  demo::RomBuilder builder;
  const int a = builder.AddPart(SongSet::One, {});
  const int b = builder.AddPart(SongSet::One, {});
  const int c = builder.AddPart(SongSet::One, {});
  builder.SetSong(SongSet::One, 4, a, c, b);
  builder.SetSong(SongSet::One, 5, b, b, b);
  LoadImage(builder);

  PickSong(3);
  EXPECT_EQ(ListLines(), QStringList({"7", "E", "15"}));  // header entries 7, 14, 21
  EXPECT_EQ(Box("E_lastPart")->text(), "2");
  PickSong(4);
  EXPECT_EQ(ListLines(), QStringList({"E"}));
}

TEST_F(SongSelection, UnreadableSongShowsItsNumbersAndNoStaleLines) {
  demo::RomBuilder builder;
  builder.AddPart(SongSet::One, {});
  builder.SetSong(SongSet::One, 1, 0, 0, 0);
  builder.SetSong(SongSet::One, 2, 5, 2, 3);
  builder.SetSong(SongSet::Two, 1, 5, 2, 3);
  LoadImage(builder);
  PickSong(0);
  ASSERT_EQ(Parts()->count(), 1);

  PickSong(1);
  EXPECT_EQ(status.Text(), QStringLiteral("GetSongParts failed !"));
  EXPECT_EQ(Box("E_firstPart")->text(), "5");
  EXPECT_EQ(Box("E_lastPart")->text(), "2");
  EXPECT_EQ(Parts()->count(), 0);

  // The second set reads such a song as one without parts.
  PickSong(PositionOf("10"));
  EXPECT_EQ(status.Text(), "Selected song 10");
  EXPECT_EQ(Parts()->count(), 0);
}

}  // namespace
}  // namespace kestrin
