#pragma once
// The 26 items of the song drop-down and the song each one selects: its
// song set and its index in that set's song tables. The number a song is
// reported under is its position in this list plus one, not its text.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "music_bank.h"

namespace kestrin {

struct SongListItem {
  std::string_view text;
  SongSet set;
  std::int32_t tableIndex;
};

inline constexpr std::array<SongListItem, 26> kSongList{{
    {"01-Morning Field", SongSet::One, 0x01},
    {"02-Stone Road", SongSet::One, 0x02},
    {"03-River Crossing", SongSet::One, 0x03},
    {"04-Quiet Village", SongSet::One, 0x04},
    {"05-Iron Gate", SongSet::One, 0x05},
    {"06-Deep Cavern", SongSet::One, 0x06},
    {"07-Windy Ridge", SongSet::One, 0x07},
    {"08-Old Tower", SongSet::One, 0x08},
    {"09-Night March", SongSet::One, 0x09},
    {"0A-Lantern Hall", SongSet::One, 0x0A},
    {"0B-Frozen Lake", SongSet::One, 0x0B},
    {"0C-Last Stand", SongSet::One, 0x0C},
    {"0D-Homeward", SongSet::One, 0x0D},
    {"0E-Long Rest", SongSet::One, 0x0E},
    // The remaining songs live in the second set's tables; "0F" sits under
    // its own index there, the others under their leading digit.
    {"0F", SongSet::Two, 0x0F},
    {"10", SongSet::Two, 0x01},
    {"20", SongSet::Two, 0x02},
    {"30", SongSet::Two, 0x03},
    {"40", SongSet::Two, 0x04},
    {"50", SongSet::Two, 0x05},
    {"60", SongSet::Two, 0x06},
    {"70", SongSet::Two, 0x07},
    {"80", SongSet::Two, 0x08},
    {"90", SongSet::Two, 0x09},
    {"A0", SongSet::Two, 0x0A},
    {"B0", SongSet::Two, 0x0B},
}};

struct SongChoice {
  SongSet set;
  std::int32_t tableIndex;
  std::int32_t songNumber;  // shown as "Selected song %X"
};

// The song chosen by drop-down position `position`. No selected item (-1)
// reads set 1 under index 0 and reports song 0; positions past the list
// choose nothing.
std::optional<SongChoice> SongAtPosition(int position);

}  // namespace kestrin
