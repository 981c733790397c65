// Reading a song's part numbers and part list from the tables of its set.

#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model_test_support.h"
#include "part_places.h"
#include "song_tables.h"

namespace kestrin {
namespace {

using namespace testing_support;

// The first-part table of each set; the last-part and loop-part tables
// follow 15 and 30 bytes on.
std::int32_t SongTableBase(SongSet set) { return set == SongSet::One ? 0x3887C : 0x3953F; }
std::int32_t PartTableBase(SongSet set) { return set == SongSet::One ? 0x38750 : 0x39410; }

EditingState WithSong(SongSet set, std::int32_t index, std::uint8_t first, std::uint8_t last, std::uint8_t loop) {
  EditingState state = StateWithImage(PatternImage(3));
  const std::int32_t base = SongTableBase(set) + index;
  state.romImage[At(base)] = first;
  state.romImage[At(base + 15)] = last;
  state.romImage[At(base + 30)] = loop;
  state.songSet = set;
  return state;
}

TEST(SongTables, ReadsPositionsNumbersAndTheListInOrder) {
  EditingState state = WithSong(SongSet::One, 1, 0x00, 0x03, 0x01);
  const std::vector<std::uint8_t> entries{0x11, 0x22, 0x33, 0x44};
  std::copy(entries.begin(), entries.end(), state.romImage.begin() + 0x38750);
  state.songPartList = {7, 7, 7, 7, 7, 7};  // a previous song's list is replaced

  ASSERT_TRUE(GetSongParts(state, SongSet::One, 1));
  EXPECT_EQ(state.firstPartPosition, 0x3887D);
  EXPECT_EQ(state.lastPartPosition, 0x3888C);
  EXPECT_EQ(state.loopPartPosition, 0x3889B);
  EXPECT_EQ(state.firstPart, 0);
  EXPECT_EQ(state.lastPart, 3);
  EXPECT_EQ(state.loopPart, 1);
  EXPECT_EQ(state.songPartList, (std::vector<std::int32_t>{0x11, 0x22, 0x33, 0x44}));
}

TEST(SongTables, SetTwoUsesItsOwnTables) {
  EditingState state = WithSong(SongSet::Two, 15, 0xFF, 0xFF, 0xFF);
  state.romImage[0x39410 + 0xFF] = 0xC4;
  ASSERT_TRUE(GetSongParts(state, SongSet::Two, 15));
  EXPECT_EQ(state.firstPartPosition, 0x3954E);
  EXPECT_EQ(state.lastPartPosition, 0x3955D);
  EXPECT_EQ(state.loopPartPosition, 0x3956C);
  EXPECT_EQ(state.firstPart, 0xFF);
  EXPECT_EQ(state.songPartList, std::vector<std::int32_t>{0xC4});
}

TEST(SongTables, LastPartBelowFirstGivesAnEmptyListUnlessSetOneHasNoRoom) {
  struct Case {
    SongSet set;
    std::uint8_t last;
    bool succeeds;
  };
  for (const Case c : {Case{SongSet::One, 4, true}, Case{SongSet::One, 3, true}, Case{SongSet::One, 2, false},
                       Case{SongSet::One, 0, false}, Case{SongSet::Two, 2, true}, Case{SongSet::Two, 0, true}}) {
    EditingState state = WithSong(c.set, 6, 5, c.last, 9);
    state.songPartList = {1, 2};
    EXPECT_EQ(GetSongParts(state, c.set, 6), c.succeeds) << int(c.set) << " last " << int(c.last);
    EXPECT_TRUE(state.songPartList.empty());
    // Numbers and positions read before the failure stay.
    EXPECT_EQ(state.firstPart, 5);
    EXPECT_EQ(state.lastPart, c.last);
    EXPECT_EQ(state.loopPart, 9);
    EXPECT_EQ(state.loopPartPosition, SongTableBase(c.set) + 30 + 6);
  }
}

TEST(SongTables, EveryIndexAndByteValueStaysInsideTheImage) {
  // The image is exactly the ROM size, so an overread is caught by the
  // address sanitizer; the list must match the part table byte for byte.
  // Only the three table bytes depend on the index, so the middle indexes
  // get the extreme part numbers and the end indexes every pair.
  const std::vector<int> extremes{0, 1, 2, 127, 253, 254, 255};
  std::vector<int> every(256);
  std::iota(every.begin(), every.end(), 0);
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    EditingState state = StateWithImage(PatternImage(8));
    const std::int32_t partTable = PartTableBase(set);
    for (std::int32_t index = 0; index <= 15; ++index) {
      const bool end = index == 0 || index == 15;
      for (const int first : end ? every : extremes) {
        for (const int last : end ? every : extremes) {
          const std::int32_t base = SongTableBase(set) + index;
          state.romImage[At(base)] = static_cast<std::uint8_t>(first);
          state.romImage[At(base + 15)] = static_cast<std::uint8_t>(last);
          const bool ok = GetSongParts(state, set, index);
          ASSERT_EQ(ok, set == SongSet::Two || last - first >= -2);
          ASSERT_EQ(state.songPartList.size(), static_cast<std::size_t>(std::max(0, last - first + 1)));
          if (!state.songPartList.empty()) {
            ASSERT_EQ(state.songPartList.front(), state.romImage[At(partTable + first)]);
            ASSERT_EQ(state.songPartList.back(), state.romImage[At(partTable + last)]);
          }
        }
      }
    }
  }
}

TEST(SongTables, RefusesIndexesOutsideTheTablesAndMissingImages) {
  EditingState state = WithSong(SongSet::One, 1, 1, 2, 1);
  state.firstPart = 77;
  for (const std::int32_t index : {-1, 16, 1000}) {
    EXPECT_FALSE(GetSongParts(state, SongSet::One, index));
    EXPECT_EQ(state.firstPart, 77);
  }
  EditingState empty;
  EXPECT_FALSE(GetSongParts(empty, SongSet::Two, 1));
}

TEST(SongTables, PartTableEntryPositionCoversPartNumbersOnly) {
  EXPECT_EQ(PartTableEntryPosition(SongSet::One, 0), 0x38750);
  EXPECT_EQ(PartTableEntryPosition(SongSet::One, 255), 0x3884F);
  EXPECT_EQ(PartTableEntryPosition(SongSet::Two, 3), 0x39413);
  EXPECT_EQ(PartTableEntryPosition(SongSet::Two, 256), -1);
  EXPECT_EQ(PartTableEntryPosition(SongSet::One, -1), -1);
}

// A song named as the command line names it: its code in either case, one
// digit read with a leading 0, or its whole item text in either case.
TEST(SongNames, FindSongTakesTheCodeOrTheWholeItemText) {
  const std::vector<std::pair<std::string, std::optional<std::size_t>>> cases = {
      {"01", 0}, {"1", 0}, {"0b", 10}, {"0B-FROZEN LAKE", 10}, {"0b-frozen lake", 10}, {"b0", 25},
      {"11", std::nullopt}, {"Frozen Lake", std::nullopt}};
  for (const auto& [name, position] : cases) EXPECT_EQ(FindSong(name), position) << name;
}

}  // namespace
}  // namespace kestrin
