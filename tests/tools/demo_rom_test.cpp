// The demo ROM, opened the way the editor opens it: every song of the song
// list must show parts whose channels can be copied and edited.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

#include "channel_bytes.h"
#include "editing_state.h"
#include "part_streams.h"
#include "rom_builder.h"
#include "rom_file.h"
#include "song_list.h"
#include "song_tables.h"

namespace kestrin::demo {
namespace {

class DemoRomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("kestrin_demo_" + std::to_string(::getpid()) + ".nes");
    ASSERT_TRUE(BuildDemoRom().WriteTo(path_.string()));
    ASSERT_EQ(std::filesystem::file_size(path_), 393232U);
    ASSERT_TRUE(LoadRom(state_, path_.string()));
  }
  void TearDown() override { std::filesystem::remove(path_); }

  std::filesystem::path path_;
  EditingState state_;
};

struct Seen {
  std::set<std::uint8_t> notes;
  std::set<int> lengthCodes;
  std::set<int> instruments;
  int songsWithSeveralParts = 0;
};

TEST_F(DemoRomTest, EverySongHasPartsWhoseChannelsCopyAndShowMusic) {
  Seen seen;
  for (const auto& song : kSongList) {
    SCOPED_TRACE(std::string(song.text));
    state_.songSet = song.set;
    ASSERT_TRUE(GetSongParts(state_, song.set, song.tableIndex));
    ASSERT_FALSE(state_.songPartList.empty());
    EXPECT_GE(state_.loopPart, state_.firstPart);
    EXPECT_LE(state_.loopPart, state_.lastPart);
    if (state_.songPartList.size() > 1) ++seen.songsWithSeveralParts;

    for (std::int32_t part = state_.firstPart; part <= state_.lastPart; ++part) {
      SCOPED_TRACE(part);
      ASSERT_TRUE(LoadPart(state_, part));
      ASSERT_TRUE(CopyChannels(state_));
      EXPECT_EQ(state_.partHeader[4], Square1Length(state_)) << "not packed";

      const auto& square1 = state_.channels->edit[kSquare1Stream];
      std::set<ByteKind> kinds;
      for (std::uint8_t b : square1) kinds.insert(Classify(b));
      EXPECT_EQ(kinds, (std::set<ByteKind>{ByteKind::Property, ByteKind::Note,
                                           ByteKind::Silence, ByteKind::End}));
      EXPECT_EQ(Classify(square1.front()), ByteKind::Property);
      EXPECT_EQ(square1.back(), kEndByte);

      for (std::uint8_t b : square1) {
        if (Classify(b) == ByteKind::Note) seen.notes.insert(b);
        if (Classify(b) == ByteKind::Property) {
          seen.lengthCodes.insert(LengthCode(b));
          seen.instruments.insert(InstrumentNumber(b));
        }
      }
      bool square2HasNote = false;
      for (std::uint8_t b : state_.channels->edit[kSquare2Stream]) {
        if (Classify(b) != ByteKind::Note) continue;
        square2HasNote = true;
        EXPECT_TRUE(NoteRow(Grid::Square2, b).has_value()) << "odd note byte " << int{b};
      }
      EXPECT_TRUE(square2HasNote);
    }
  }
  EXPECT_GE(seen.songsWithSeveralParts, 10);
  // The grids get to show the whole note range, odd bytes and many lengths.
  EXPECT_TRUE(seen.notes.contains(0x02));
  EXPECT_TRUE(seen.notes.contains(0x7C));
  EXPECT_TRUE(std::any_of(seen.notes.begin(), seen.notes.end(), [](auto b) { return b % 2; }));
  EXPECT_GE(seen.lengthCodes.size(), 6U);
  EXPECT_GE(seen.instruments.size(), 6U);
}

TEST_F(DemoRomTest, PartsStayInTheMusicBankClearOfTablesAndOfEachOther) {
  // Distinct parts by start; a shared part is one part.
  std::map<std::int32_t, std::int32_t> partEnd;
  for (SongSet set : {SongSet::One, SongSet::Two}) {
    state_.songSet = set;
    const auto& layout = LayoutOf(set);
    for (const auto& song : kSongList) {
      if (song.set != set) continue;
      ASSERT_TRUE(GetSongParts(state_, set, song.tableIndex));
      for (std::int32_t part = state_.firstPart; part <= state_.lastPart; ++part) {
        ASSERT_TRUE(LoadPart(state_, part));
        EXPECT_LT(state_.headerPosition + kPartHeaderSize - 1, layout.songTableBase);
        EXPECT_GE(state_.headerPosition, layout.headerAreaBase);
        partEnd[state_.streamPosition[0]] = state_.streamPosition[0] + PartLength(state_);
      }
    }
  }
  ASSERT_GE(partEnd.size(), 40U);
  std::int32_t previousEnd = kMusicBankFirst;
  for (const auto& [start, end] : partEnd) {
    EXPECT_GE(start, previousEnd) << "parts overlap at 0x" << std::hex << start;
    EXPECT_LE(end, kMusicBankLast + 1);
    for (const auto* layout : {&kSongSet1Layout, &kSongSet2Layout}) {
      const bool clear = end <= layout->partTable || start > layout->songTableBase + 45;
      EXPECT_TRUE(clear) << "part at 0x" << std::hex << start << " runs into a set's tables";
    }
    previousEnd = end;
  }
}

TEST(DemoRomContentTest, IsTheSameEveryTime) { EXPECT_EQ(MakeDemoRom(), MakeDemoRom()); }

}  // namespace
}  // namespace kestrin::demo
