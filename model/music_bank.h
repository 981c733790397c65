#pragma once
// Where the game keeps its music inside the iNES image: the size every
// Kestrin ROM has, the 8 KiB music bank, and the fixed table positions of
// the two song sets. All positions are file offsets into the ROM image.

#include <cstdint>

namespace kestrin {

inline constexpr std::int32_t kRomSize = 0x60010;
inline constexpr std::int32_t kMusicBankFirst = 0x38010;
inline constexpr std::int32_t kMusicBankLast = 0x3A00F;

// The music bank is seen through an 8 KiB window: only the low 13 bits of a
// NES address count, so every address lands inside the bank.
constexpr std::int32_t NesAddressToFileOffset(std::uint16_t address) {
  return (address & 0x1FFF) + kMusicBankFirst;
}

enum class SongSet : std::uint8_t { One = 1, Two = 2 };

struct SongSetLayout {
  std::int32_t songTableBase;   // first-part table; last-part at +15, loop at +30
  std::int32_t partTable;       // byte of part number p at partTable + p
  std::int32_t headerAreaBase;  // part header at headerAreaBase + part table entry
};

inline constexpr SongSetLayout kSongSet1Layout{0x3887C, 0x38750, 0x3877C};
inline constexpr SongSetLayout kSongSet2Layout{0x3953F, 0x39410, 0x3943D};
inline constexpr std::int32_t kSongTableStride = 15;
inline constexpr std::int32_t kHighestSongTableIndex = 15;

constexpr const SongSetLayout& LayoutOf(SongSet set) {
  return set == SongSet::One ? kSongSet1Layout : kSongSet2Layout;
}

}  // namespace kestrin
