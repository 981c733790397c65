#pragma once
// Loading a song part: its 7-byte header, the positions and lengths of its
// five channel streams, the edit buffers, and the write-back into the image.

#include <cstdint>

#include "editing_state.h"

namespace kestrin {

// Reads the header of part `partNumber` of state.songSet and fixes the five
// stream positions and lengths. Fails, changing nothing, when the part number
// is outside 0 to 255 or a stream that ends at a zero byte finds none before
// the end of the image.
bool LoadPart(EditingState& state, std::int32_t partNumber);

// Copies the five streams of the loaded part into fresh edit buffers. The old
// buffers are dropped first; fails (leaving none) when a stream length is
// negative or memory runs out.
bool CopyChannels(EditingState& state);

// Stores every byte of the edit buffers that differs from what was copied or
// last stored at its own stream position, then checks each stored byte in
// the image. Writes nothing and succeeds when no buffers exist.
bool WriteBack(EditingState& state);

}  // namespace kestrin
