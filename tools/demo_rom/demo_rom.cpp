// The demo ROM's song plan: how many parts each song has, where it loops,
// and which songs reuse a part of an earlier song.
#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>

#include "demo_music.h"
#include "rom_builder.h"
#include "song_list.h"

namespace kestrin::demo {
namespace {

// A part slot of a song: a new part, or the part number of an earlier song
// of the same set again (through a part table entry of its own).
struct PartSlot {
  int reuseSong = -1;  // position in kSongList, or -1 for a new part
  int reusePart = 0;   // place of the part in that song
};

struct SongPlan {
  int partCount;
  int loopAt;  // place of the loop part in the song, below partCount
  std::array<PartSlot, 4> slots{};
  bool sweep = false;  // first part climbs the whole note range
};

constexpr PartSlot kNew{};
constexpr PartSlot Reuse(int song, int part) { return {song, part}; }

// Indexed like kSongList.
constexpr std::array<SongPlan, kSongList.size()> kPlans{{
    {3, 1},
    {2, 0},
    {4, 1, {}, true},
    {1, 0},
    {2, 1},
    {3, 0},
    {1, 0, {Reuse(3, 0)}},
    {2, 0},
    {4, 2},
    {1, 0},
    {2, 1, {kNew, Reuse(0, 2)}},
    {3, 1},
    {1, 0},
    {2, 0, {Reuse(1, 0), kNew}},
    {2, 1},  // set 2, index 15
    {1, 0, {}, true},
    {3, 1},
    {1, 0},
    {2, 0},
    {1, 0},
    {4, 1},
    {1, 0, {Reuse(14, 1)}},
    {2, 1},
    {1, 0},
    {2, 0},
    {3, 2, {kNew, Reuse(16, 0), kNew}},
}};

}  // namespace

RomBuilder BuildDemoRom() {
  RomBuilder rom;
  std::array<int, kSongList.size()> firstPart{};
  for (std::size_t ordinal = 0; ordinal < kSongList.size(); ++ordinal) {
    const SongListItem& song = kSongList[ordinal];
    const SongPlan& plan = kPlans[ordinal];
    const SongStyle style = StyleOfSong(static_cast<int>(ordinal));
    std::optional<int> first;
    int last = 0;
    for (int place = 0; place < plan.partCount; ++place) {
      const PartSlot& slot = plan.slots[static_cast<std::size_t>(place)];
      if (slot.reuseSong >= 0) {
        if (kSongList[static_cast<std::size_t>(slot.reuseSong)].set != song.set) {
          throw std::logic_error("a song can only reuse parts of its own set");
        }
        last = rom.SharePart(song.set,
                             firstPart[static_cast<std::size_t>(slot.reuseSong)] + slot.reusePart);
      } else if (plan.sweep && place == 0) {
        last = rom.AddPart(song.set, ComposeSweepPart(style));
      } else {
        last = rom.AddPart(song.set, ComposePart(style, place));
      }
      if (!first) first = last;
    }
    firstPart[ordinal] = *first;
    rom.SetSong(song.set, song.tableIndex, *first, last, *first + plan.loopAt);
  }
  return rom;
}

std::vector<std::uint8_t> MakeDemoRom() { return BuildDemoRom().Image(); }

}  // namespace kestrin::demo
