#include <QLineEdit>

#include "song_page_fixture.h"

namespace kestrin {
namespace {

const QString kPartAddressHint =
    QStringLiteral("This is the NES part address; it also defines the start of the Square1 channel.");

class PartHeader : public SongPageTest {
 protected:
  PartHeader() {
    builder_.AddPart(SongSet::Two, {});
    builder_.AddPart(SongSet::Two, {});
    builder_.SetSong(SongSet::Two, 0x0F, 0, 1, 0);
    LoadImage(builder_);
    PickSong(PositionOf("0F"));
  }

  demo::RomBuilder builder_;
};

TEST_F(PartHeader, EveryTypedChangeReachesCopyAndImage) {
  ClickPart(1);
  const std::int32_t at = builder_.HeaderPosition(SongSet::Two, 1);
  ASSERT_EQ(state.headerPosition, at);

  Type(Box("E_ph2"), "1234");
  EXPECT_EQ(state.partHeader[1], 0x34);
  EXPECT_EQ(state.partHeader[2], 0x12);
  EXPECT_EQ(ImageAt(at + 1), 0x34);
  EXPECT_EQ(ImageAt(at + 2), 0x12);

  Type(Box("E_ph1"), "2");
  EXPECT_EQ(ImageAt(at), 0x02);
  QTest::keyClicks(Box("E_ph1"), "0");
  EXPECT_EQ(ImageAt(at), 0x20);
  EXPECT_EQ(state.partHeader[0], 0x20);

  Type(Box("E_ph4"), "-1");
  EXPECT_EQ(ImageAt(at + 3), 0xFF);
  Type(Box("E_ph7"), "");
  EXPECT_EQ(ImageAt(at + 6), 0x00);
  EXPECT_EQ(state.partHeader[6], 0x00);

  // Positions and buffers stay as loaded until the part is chosen again.
  EXPECT_EQ(state.streamPosition[kSquare1Stream], builder_.PartStart(SongSet::Two, 1));
}

TEST_F(PartHeader, EachOffsetBoxWritesItsOwnHeaderByte) {
  ClickPart(1);
  const std::int32_t at = state.headerPosition;
  const struct {
    const char* box;
    const char* typed;
    int byte;
    std::uint8_t value;
  } boxes[] = {{"E_ph4", "3C", 3, 0x3C},
               {"E_ph5", "4D", 4, 0x4D},
               {"E_ph6", "5E", 5, 0x5E},
               {"E_ph7", "6F", 6, 0x6F}};
  for (const auto& b : boxes) {
    const auto before = state.romImage;
    Type(Box(b.box), b.typed);
    EXPECT_EQ(ImageAt(at + b.byte), b.value) << b.box;
    EXPECT_EQ(state.partHeader[static_cast<std::size_t>(b.byte)], b.value) << b.box;
    // Only that byte of the image changed.
    auto expected = before;
    expected[static_cast<std::size_t>(at + b.byte)] = b.value;
    EXPECT_EQ(state.romImage, expected) << b.box;
  }
}

TEST_F(PartHeader, NegativeAddressSplitsTowardZero) {
  ClickPart(0);
  const std::int32_t at = state.headerPosition;
  Type(Box("E_ph2"), "-101");  // -257: quotient -1, remainder -1
  EXPECT_EQ(ImageAt(at + 1), 0xFF);
  EXPECT_EQ(ImageAt(at + 2), 0xFF);
}

TEST_F(PartHeader, BoxesWriteNothingWithoutALoadedHeader) {
  const auto image = state.romImage;
  Type(Box("E_ph1"), "55");
  Type(Box("E_ph2"), "1234");
  EXPECT_EQ(state.romImage, image);

  // Forgetting the part (another file was opened) stops them again.
  ClickPart(0);
  DropPart(state);
  const auto reopened = state.romImage;
  Type(Box("E_ph6"), "66");
  EXPECT_EQ(state.romImage, reopened);
}

// After an undo the boxes show the header copy again, and writing them
// back must not happen: where a part list or a stream runs over the header,
// the image may hold other bytes there than the copy.
TEST_F(PartHeader, ShowingTheImageAgainOnlyShows) {
  ClickPart(1);
  const auto at = static_cast<std::size_t>(state.headerPosition);
  state.partHeader[1] = state.romImage[at + 1] = 0x77;  // as an undo of the address puts it back
  state.romImage[at + 2] = static_cast<std::uint8_t>(state.partHeader[2] + 1);
  const auto image = state.romImage;
  page.ShowImageAgain();
  EXPECT_EQ(Box("E_ph2")->text(), QString::number(0x77 + 256 * state.partHeader[2], 16).toUpper());
  EXPECT_EQ(state.romImage, image);
}

TEST_F(PartHeader, ClicksGiveHints) {
  const std::pair<const char*, QString> hints[] = {
      {"E_ph1", QStringLiteral("Tempo should be a multiple of 10 to work properly!")},
      {"E_ph2", kPartAddressHint},
      {"E_Parts", QStringLiteral("Make sure you know what you're doing when you change parts!")},
  };
  for (const auto& [name, hint] : hints) {
    status.Set("");
    QTest::mouseClick(Box(name), Qt::LeftButton);
    EXPECT_EQ(status.Text(), hint) << name;
  }
  status.Set("");
  QTest::mouseClick(Box("E_ph4"), Qt::LeftButton);
  EXPECT_EQ(status.Text(), "");
}

}  // namespace
}  // namespace kestrin
