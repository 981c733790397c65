// The ROM builder, checked through the data layer that reads what it lays
// out: a packed part must load back stream for stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "editing_state.h"
#include "part_streams.h"
#include "rom_builder.h"
#include "song_tables.h"

namespace kestrin::demo {
namespace {

EditingState StateOf(const RomBuilder& rom, SongSet set) {
  EditingState state;
  state.romImage = rom.Image();
  state.romSize = static_cast<std::int32_t>(rom.Image().size());
  state.songSet = set;
  return state;
}

PartStreams SamplePart(std::uint8_t tempo) {
  PartStreams part;
  part.tempo = tempo;
  part.square1 = {0x84, 0x30, 0x32, 0x7E, 0xA2, 0x3D, 0x00};
  part.square2 = {0x88, 0x18, 0x7E, 0x1C};
  part.stream3 = {0x8C, 0x0C, 0x10};
  part.stream4 = {0x82, 0x11, 0x05, 0x11, 0x05};
  part.dmc = {0x81, 0x03, 0x00};
  return part;
}

TEST(RomBuilderTest, BlankImageHasTheRomSizeEmptySongTablesAndNoZeroInFreeRoom) {
  const RomBuilder rom;
  const auto& image = rom.Image();
  ASSERT_EQ(image.size(), static_cast<std::size_t>(kRomSize));
  EXPECT_EQ(image[0], 'N');
  EXPECT_EQ(image[3], 0x1A);

  for (SongSet set : {SongSet::One, SongSet::Two}) {
    auto state = StateOf(rom, set);
    for (std::int32_t index = 0; index <= kHighestSongTableIndex; ++index) {
      ASSERT_TRUE(GetSongParts(state, set, index));
      EXPECT_EQ(state.firstPart, 0);
      EXPECT_EQ(state.lastPart, 0);
      EXPECT_EQ(state.loopPart, 0);
    }
  }
  // Where streams go, a missing end byte must not be rescued by filler.
  const auto bankFirst = image.begin() + kMusicBankFirst;
  EXPECT_EQ(std::count(bankFirst, image.begin() + kSongSet1Layout.partTable, 0), 0);
  EXPECT_EQ(std::count(image.begin() + kSongSet2Layout.songTableBase + 46,
                       image.begin() + kMusicBankLast + 1, 0),
            0);
}

TEST(RomBuilderTest, AddedPartsLoadBackStreamForStreamInBothSets) {
  for (SongSet set : {SongSet::One, SongSet::Two}) {
    SCOPED_TRACE(static_cast<int>(set));
    RomBuilder rom;
    const PartStreams first = SamplePart(0x10);
    PartStreams second = SamplePart(0x22);
    second.square1 = {0xC2, 0x7C, 0x02, 0x00};
    second.dmc = {0x00};

    EXPECT_EQ(rom.AddPart(set, first), 0);
    EXPECT_EQ(rom.AddPart(set, second), 1);
    EXPECT_EQ(rom.PartCount(set), 2);
    EXPECT_EQ(rom.HeaderPosition(set, 0), LayoutOf(set).headerAreaBase + kFirstHeaderEntry);
    EXPECT_EQ(rom.HeaderPosition(set, 1),
              LayoutOf(set).headerAreaBase + kFirstHeaderEntry + kHeaderEntryStep);

    auto state = StateOf(rom, set);
    for (int part = 0; part < 2; ++part) {
      const PartStreams& streams = part == 0 ? first : second;
      ASSERT_TRUE(LoadPart(state, part));
      ASSERT_TRUE(CopyChannels(state));
      EXPECT_EQ(state.headerPosition, rom.HeaderPosition(set, part));
      EXPECT_EQ(state.partHeader[0], streams.tempo);
      EXPECT_EQ(state.streamPosition[0], rom.PartStart(set, part));
      const auto& edit = state.channels->edit;
      EXPECT_EQ(edit[0], streams.square1);
      EXPECT_EQ(edit[1], streams.square2);
      EXPECT_EQ(edit[2], streams.stream3);
      EXPECT_EQ(edit[3], streams.stream4);
      EXPECT_EQ(edit[4], streams.dmc);
      // Packed: stream 2 begins right after the end byte of stream 1.
      EXPECT_EQ(state.partHeader[4], Square1Length(state));
    }
    // The second part follows the first without overlapping it.
    EXPECT_GE(rom.PartStart(set, 1), rom.PartStart(set, 0) + 22);
  }
}

TEST(RomBuilderTest, AddPartTouchesOnlyThePartItsHeaderAndItsTableEntry) {
  const RomBuilder blank;
  RomBuilder rom;
  const PartStreams streams = SamplePart(0x10);
  const int part = rom.AddPart(SongSet::Two, streams);

  const std::int32_t start = rom.PartStart(SongSet::Two, part);
  const std::int32_t header = rom.HeaderPosition(SongSet::Two, part);
  const std::int32_t entry = kSongSet2Layout.partTable + part;
  constexpr std::int32_t kPartSize = 7 + 4 + 3 + 5 + 3;
  for (std::int32_t offset = 0; offset < kRomSize; ++offset) {
    const bool ours = (offset >= start && offset < start + kPartSize) ||
                      (offset >= header && offset < header + kPartHeaderSize) || offset == entry;
    if (!ours && rom.Peek(offset) != blank.Peek(offset)) {
      ADD_FAILURE() << "stray write at 0x" << std::hex << offset;
      return;
    }
  }
}

TEST(RomBuilderTest, SongsAndSharedPartsReadBackThroughTheSongTables) {
  RomBuilder rom;
  const int a = rom.AddPart(SongSet::One, SamplePart(0x10));
  const int b = rom.AddPart(SongSet::One, SamplePart(0x20));
  const int again = rom.SharePart(SongSet::One, a);
  EXPECT_EQ(again, 2);
  EXPECT_EQ(rom.HeaderPosition(SongSet::One, again), rom.HeaderPosition(SongSet::One, a));
  rom.SetSong(SongSet::One, 14, a, again, b);

  auto state = StateOf(rom, SongSet::One);
  ASSERT_TRUE(GetSongParts(state, SongSet::One, 14));
  EXPECT_EQ(state.firstPart, a);
  EXPECT_EQ(state.lastPart, again);
  EXPECT_EQ(state.loopPart, b);
  const std::vector<std::int32_t> entries{kFirstHeaderEntry, kFirstHeaderEntry + kHeaderEntryStep,
                                          kFirstHeaderEntry};
  EXPECT_EQ(state.songPartList, entries);
  // The neighbouring song is untouched.
  ASSERT_TRUE(GetSongParts(state, SongSet::One, 13));
  EXPECT_EQ(state.lastPart, 0);
}

TEST(RomBuilderTest, RefusesPartsAndValuesThatDoNotFit) {
  RomBuilder rom;
  const auto before = rom.Image();

  PartStreams tooLong = SamplePart(0x10);
  tooLong.stream4.assign(250, 0x11);  // pushes the DMC offset past 0xFF
  EXPECT_THROW(rom.AddPart(SongSet::One, tooLong), std::length_error);

  PartStreams noEnd = SamplePart(0x10);
  noEnd.square1 = {0x84, 0x30};
  EXPECT_THROW(rom.AddPart(SongSet::One, noEnd), std::invalid_argument);
  PartStreams earlyEnd = SamplePart(0x10);
  earlyEnd.square1 = {0x84, 0x00, 0x30, 0x00};  // would load as a shorter stream
  EXPECT_THROW(rom.AddPart(SongSet::One, earlyEnd), std::invalid_argument);
  earlyEnd = SamplePart(0x10);
  earlyEnd.dmc = {};
  EXPECT_THROW(rom.AddPart(SongSet::One, earlyEnd), std::invalid_argument);

  EXPECT_THROW(rom.SetSong(SongSet::One, 16, 0, 0, 0), std::out_of_range);
  EXPECT_THROW(rom.SetSong(SongSet::Two, 1, 0, 256, 0), std::out_of_range);
  EXPECT_THROW(rom.SharePart(SongSet::Two, 0), std::out_of_range);
  EXPECT_THROW(rom.Poke(kRomSize, 1), std::out_of_range);
  const std::vector<std::uint8_t> two{1, 2};
  EXPECT_THROW(rom.Poke(kRomSize - 1, two), std::out_of_range);
  EXPECT_EQ(rom.Image(), before);
}

TEST(RomBuilderTest, RunsOutOfBankRoomHeaderSlotsAndPartNumbers) {
  PartStreams big = SamplePart(0x10);
  big.stream3.assign(230, 0x30);
  RomBuilder full;
  int added = 0;
  try {
    for (; added < 40; ++added) full.AddPart(added % 2 == 0 ? SongSet::One : SongSet::Two, big);
    FAIL() << "the music bank never filled up";
  } catch (const std::length_error&) {
  }
  // The bank holds about 7.5 KiB of free room outside the set tables: 28
  // parts of 249 bytes, in three stretches. None of them may clobber another
  // part, a header or a table entry.
  EXPECT_EQ(added, 28);
  for (SongSet set : {SongSet::One, SongSet::Two}) {
    auto state = StateOf(full, set);
    for (int part = 0; part < full.PartCount(set); ++part) {
      ASSERT_TRUE(LoadPart(state, part));
      ASSERT_TRUE(CopyChannels(state));
      EXPECT_EQ(state.channels->edit[2], big.stream3);
      EXPECT_EQ(state.channels->edit[4], big.dmc);
    }
  }

  RomBuilder headers;
  for (int part = 0; part < 35; ++part) headers.AddPart(SongSet::One, SamplePart(0x10));
  EXPECT_THROW(headers.AddPart(SongSet::One, SamplePart(0x10)), std::length_error);
  // Header slots must stay below the song tables.
  EXPECT_LE(headers.HeaderPosition(SongSet::One, 34) + kPartHeaderSize,
            kSongSet1Layout.songTableBase);

  // The part table ends where the header area begins: 44 numbers in set 1.
  for (int part = 35; part < 44; ++part) EXPECT_EQ(headers.SharePart(SongSet::One, 0), part);
  EXPECT_THROW(headers.SharePart(SongSet::One, 0), std::length_error);
}

}  // namespace
}  // namespace kestrin::demo
