#include <QLineEdit>

#include "song_page_fixture.h"

namespace kestrin {
namespace {

const QString kFirstAboveLast =
    QStringLiteral("First part is higher than last part, the game may not work properly!");
const QString kLastBelowFirst =
    QStringLiteral("Last part is lower than first part, the game may not work properly!");
const QString kLoopOutOfBounds =
    QStringLiteral("Loop part is out of song's parts bounds, the game may not work properly!");
const QString kLoopHint =
    QStringLiteral("This is the part from where the song will loop, useful if you want to add an "
                   "intro part to the song for example.");

// Song 2 of the first set (drop-down position 1) spans parts 1 to 3 and
// loops at part 2.
class SongProperties : public SongPageTest {
 protected:
  static constexpr int kIndex = 2;

  SongProperties() {
    demo::RomBuilder builder;
    for (int i = 0; i < 6; ++i) builder.AddPart(SongSet::One, {});
    builder.SetSong(SongSet::One, kIndex, 1, 3, 2);
    LoadImage(builder);
  }

  void PickTheSong() { PickSong(kIndex - 1); }

  std::vector<QString> Warnings() const {
    std::vector<QString> shown;
    for (const auto& message : dialogs.Messages()) {
      EXPECT_EQ(message.title, QStringLiteral("Warning!"));
      EXPECT_EQ(message.style, MessageStyle::OkWarning);
      shown.push_back(message.text);
    }
    return shown;
  }
  using Texts = std::vector<QString>;

  const std::int32_t first_ = FirstPartAt(SongSet::One, kIndex);
  const std::int32_t last_ = LastPartAt(SongSet::One, kIndex);
  const std::int32_t loop_ = LoopPartAt(SongSet::One, kIndex);
};

TEST_F(SongProperties, EnterStoresTheByteAndRefreshesThePage) {
  PickTheSong();
  TypeAndEnter(Box("E_lastPart"), "0A");
  EXPECT_EQ(ImageAt(last_), 0x0A);
  EXPECT_EQ(state.lastPart, 0x0A);
  EXPECT_EQ(Box("E_lastPart")->text(), "A");
  EXPECT_EQ(Parts()->count(), 10);  // parts 1 to 0xA
  EXPECT_EQ(status.Text(), "Selected song 2");
  EXPECT_TRUE(dialogs.Messages().empty());

  TypeAndEnter(Box("E_lastPart"), "-1");
  EXPECT_EQ(ImageAt(last_), 0xFF);
  EXPECT_EQ(Box("E_lastPart")->text(), "FF");
}

TEST_F(SongProperties, TextThatIsNoNumberWritesZeroSilently) {
  PickTheSong();
  TypeAndEnter(Box("E_firstPart"), "G");
  EXPECT_EQ(ImageAt(first_), 0x00);
  EXPECT_EQ(Box("E_firstPart")->text(), "0");
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(SongProperties, EmptyBoxOtherKeysAndNoFileDoNothing) {
  PickTheSong();
  status.Set("before");
  const auto image = state.romImage;

  TypeAndEnter(Box("E_firstPart"), "");
  Type(Box("E_loopPart"), "123");
  EXPECT_EQ(Box("E_loopPart")->text(), "12");  // capped at two characters
  EXPECT_EQ(state.romImage, image);
  EXPECT_EQ(status.Text(), "before");
  EXPECT_TRUE(dialogs.Messages().empty());

  state.fileLoaded = false;
  QTest::keyClick(Box("E_loopPart"), Qt::Key_Return);
  EXPECT_EQ(state.romImage, image);
  EXPECT_EQ(status.Text(), "before");
}

TEST_F(SongProperties, EnterBeforeAnySongIsChosenWritesNothing) {
  const auto image = state.romImage;
  TypeAndEnter(Box("E_firstPart"), "5");
  EXPECT_EQ(status.Text(), QStringLiteral("You should select a song first!"));
  EXPECT_EQ(state.romImage, image);
}

TEST_F(SongProperties, FirstAndLastWarnOnlyWhenTheyCross) {
  PickTheSong();
  TypeAndEnter(Box("E_firstPart"), "3");  // equal to last
  EXPECT_EQ(Warnings(), Texts{});
  TypeAndEnter(Box("E_firstPart"), "4");
  EXPECT_EQ(Warnings(), Texts{kFirstAboveLast});
  EXPECT_EQ(ImageAt(first_), 4);  // the warning undoes nothing
  // The number the byte holds already, typed again: refreshed, warned again.
  dialogs.ClearRecords();
  TypeAndEnter(Box("E_firstPart"), "04");
  EXPECT_EQ(Warnings(), Texts{kFirstAboveLast});
  EXPECT_EQ(Box("E_firstPart")->text(), "4");

  dialogs.ClearRecords();
  TypeAndEnter(Box("E_lastPart"), "2");
  EXPECT_EQ(Warnings(), Texts{kLastBelowFirst});
  dialogs.ClearRecords();
  TypeAndEnter(Box("E_lastPart"), "4");
  EXPECT_EQ(Warnings(), Texts{});
}

TEST_F(SongProperties, LoopWarnsOutsideTheSongOnly) {
  PickTheSong();
  for (const char* inside : {"1", "2", "3"}) {
    TypeAndEnter(Box("E_loopPart"), inside);
    EXPECT_EQ(Warnings(), Texts{}) << inside;
  }
  for (const char* outside : {"0", "4"}) {
    dialogs.ClearRecords();
    TypeAndEnter(Box("E_loopPart"), outside);
    EXPECT_EQ(Warnings(), Texts{kLoopOutOfBounds}) << outside;
  }
}

TEST_F(SongProperties, BreakingTheSongStillWarnsAfterTheFailedRefresh) {
  PickTheSong();
  TypeAndEnter(Box("E_lastPart"), "-2");  // 0xFE
  TypeAndEnter(Box("E_firstPart"), "FF");
  EXPECT_EQ(Warnings(), Texts{kFirstAboveLast});
  dialogs.ClearRecords();
  TypeAndEnter(Box("E_lastPart"), "0");  // three or more below: unreadable
  EXPECT_EQ(status.Text(), QStringLiteral("GetSongParts failed !"));
  EXPECT_EQ(ImageAt(last_), 0);
  EXPECT_EQ(Warnings(), Texts{kLastBelowFirst});
}

TEST_F(SongProperties, ClickingTheLoopBoxExplainsIt) {
  QTest::mouseClick(Box("E_loopPart"), Qt::LeftButton);
  EXPECT_EQ(status.Text(), kLoopHint);
  status.Set("");
  QTest::mouseClick(Box("E_firstPart"), Qt::LeftButton);
  EXPECT_EQ(status.Text(), "");
}

}  // namespace
}  // namespace kestrin
