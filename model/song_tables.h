#pragma once
// Reading one song's first, last and loop part and its part list from the
// tables of its song set.

#include <cstdint>

#include "editing_state.h"

namespace kestrin {

// Whether the image reaches the last byte of the music bank, where the song
// tables, part tables and part headers lie.
bool HoldsMusicBank(const EditingState& state);

// Fills the three positions, the three part numbers and the song part list
// of song table index `index` (0 to 15) of `set`. The caller records the song
// set in the state beforehand. Fails for set 1 when the last part is three or
// more below the first part (the part numbers read stay in the state).
bool GetSongParts(EditingState& state, SongSet set, std::int32_t index);

// File offset of the part table byte of `partNumber` in `set`, or -1 when the
// number is no part number (outside 0 to 255).
std::int32_t PartTableEntryPosition(SongSet set, std::int32_t partNumber);

}  // namespace kestrin
