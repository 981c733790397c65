// Where the music lives in the image, written out as plain numbers: the
// ROM size, the bank, the address mapping, and the table positions of both
// song sets as the part loader and the song reader use them.

#include <gtest/gtest.h>

#include "model_test_support.h"
#include "part_streams.h"
#include "song_tables.h"

namespace kestrin {
namespace {

using namespace testing_support;

TEST(MusicBank, SizesAndBoundsAreTheGamesNumbers) {
  EXPECT_EQ(kRomSize, 393232);
  EXPECT_EQ(kRomSize, 0x60010);
  EXPECT_EQ(kMusicBankFirst, 0x38010);
  EXPECT_EQ(kMusicBankLast, 0x3A00F);
  EXPECT_EQ(kSongSet1Layout.songTableBase, 0x3887C);
  EXPECT_EQ(kSongSet1Layout.partTable, 0x38750);
  EXPECT_EQ(kSongSet1Layout.headerAreaBase, 0x3877C);
  EXPECT_EQ(kSongSet2Layout.songTableBase, 0x3953F);
  EXPECT_EQ(kSongSet2Layout.partTable, 0x39410);
  EXPECT_EQ(kSongSet2Layout.headerAreaBase, 0x3943D);
}

TEST(MusicBank, NesAddressesMapIntoTheBank) {
  EXPECT_EQ(NesAddressToFileOffset(0xA7C2), 0x387D2);
  for (const int address : {0x8000, 0xA000, 0xC000, 0xE000})
    EXPECT_EQ(NesAddressToFileOffset(static_cast<std::uint16_t>(address)), 0x38010) << std::hex << address;
  EXPECT_EQ(NesAddressToFileOffset(0xBFFF), 0x3A00F);
  EXPECT_EQ(NesAddressToFileOffset(0x6123), 0x38133);
  EXPECT_EQ(NesAddressToFileOffset(0xFFFF), 0x3A00F);
  EXPECT_EQ(NesAddressToFileOffset(0x0000), 0x38010);
}

// A part whose header is put by hand at `headerPosition`, reached through
// entry 0x21 of the part table byte at `entryPosition`.
EditingState HandMadePart(std::int32_t entryPosition, std::int32_t headerPosition) {
  EditingState state = StateWithImage(PatternImage(5));
  state.romImage[At(entryPosition)] = 0x21;
  const PartHeader header{0x30, 0x00, 0xB2, 0x05, 0x03, 0x07, 0x09};  // part address 0xB200
  std::copy(header.begin(), header.end(), state.romImage.begin() + headerPosition);
  state.romImage[At(0x39210)] = 0x84;  // stream 1 is three bytes
  state.romImage[At(0x39210 + 1)] = 0x30;
  state.romImage[At(0x39210 + 2)] = 0x00;
  state.romImage[At(0x39210 + 0x09)] = 0x00;  // stream 5 is one byte
  return state;
}

TEST(MusicBank, EachSetFindsItsPartHeadersFromItsOwnBase) {
  // Set 1: part table at 0x38750, headers from 0x3877C.
  EditingState one = HandMadePart(0x38750 + 4, 0x3877C + 0x21);
  one.songSet = SongSet::One;
  ASSERT_TRUE(LoadPart(one, 4));
  EXPECT_EQ(one.headerPosition, 0x3879D);
  EXPECT_EQ(one.partHeader[0], 0x30);
  EXPECT_EQ(one.streamPosition[0], 0x39210);
  EXPECT_EQ(one.streamLength, (std::array<std::int32_t, 5>{3, 2, 2, 2, 1}));

  // Set 2: part table at 0x39410, headers from 0x3943D.
  EditingState two = HandMadePart(0x39410 + 4, 0x3943D + 0x21);
  two.songSet = SongSet::Two;
  ASSERT_TRUE(LoadPart(two, 4));
  EXPECT_EQ(two.headerPosition, 0x3945E);
  EXPECT_EQ(two.partHeader, (PartHeader{0x30, 0x00, 0xB2, 0x05, 0x03, 0x07, 0x09}));
  EXPECT_EQ(two.streamPosition, (std::array<std::int32_t, 5>{0x39210, 0x39213, 0x39215, 0x39217, 0x39219}));
}

TEST(MusicBank, SongBytesOfBothSetsStandFifteenApart) {
  EditingState state = StateWithImage(PatternImage(6));
  state.romImage[At(0x3887C + 3)] = 0x02;  // set 1 song 3: first, last, loop
  state.romImage[At(0x3888B + 3)] = 0x04;
  state.romImage[At(0x3889A + 3)] = 0x03;
  state.romImage[At(0x38750 + 2)] = 0xA1;
  state.romImage[At(0x38750 + 3)] = 0xA2;
  state.romImage[At(0x38750 + 4)] = 0xA3;
  ASSERT_TRUE(GetSongParts(state, SongSet::One, 3));
  EXPECT_EQ(state.firstPart, 2);
  EXPECT_EQ(state.lastPart, 4);
  EXPECT_EQ(state.loopPart, 3);
  EXPECT_EQ(state.songPartList, (std::vector<std::int32_t>{0xA1, 0xA2, 0xA3}));

  state.romImage[At(0x3953F + 7)] = 0x10;  // set 2 song 7
  state.romImage[At(0x3954E + 7)] = 0x11;
  state.romImage[At(0x3955D + 7)] = 0x10;
  state.romImage[At(0x39410 + 0x10)] = 0xB1;
  state.romImage[At(0x39410 + 0x11)] = 0xB2;
  ASSERT_TRUE(GetSongParts(state, SongSet::Two, 7));
  EXPECT_EQ(state.firstPartPosition, 0x39546);
  EXPECT_EQ(state.lastPartPosition, 0x39555);
  EXPECT_EQ(state.loopPartPosition, 0x39564);
  EXPECT_EQ(state.songPartList, (std::vector<std::int32_t>{0xB1, 0xB2}));
}

}  // namespace
}  // namespace kestrin
