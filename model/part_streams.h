#pragma once
// Loading a song part: its 7-byte header, the positions and lengths of its
// five channel streams, the edit buffers, and the write-back into the image.

#include <cstddef>
#include <cstdint>

#include "editing_state.h"

namespace kestrin {

// Reads the header of part `partNumber` of state.songSet and fixes the five
// stream positions and lengths. The previous part's edit buffers are dropped
// (part-loaded flag cleared): run CopyChannels next. Fails, changing
// nothing, when no image is loaded, the part number is outside 0 to 255 or a
// stream that ends at a zero byte finds none before the end of the image.
bool LoadPart(EditingState& state, std::int32_t partNumber);

// Copies the five streams of the loaded part into fresh edit buffers. The old
// buffers are dropped first; fails (leaving none) when a stream length is
// negative or memory runs out.
bool CopyChannels(EditingState& state);

// Stores every byte of the edit buffers that differs from what was copied or
// last stored at its own stream position, then checks each stored byte in
// the image. Unedited buffer bytes that the image now holds differently
// (changed through an overlapping stream or the header fields) are taken
// over into the buffers, never written back over the image. Fails when two
// overlapping streams were edited to different values at one byte. Writes
// nothing and succeeds when no buffers exist. It compares every byte of the
// part and needs no marks; Save and choosing another part run it. What it
// changes is recorded (write_path.h).
bool WriteBack(EditingState& state);

// WriteBack for the edit paths, with the same result in the image and the
// buffers, but looking only at the stream bytes the write path marked since
// the last write-back and the stream bytes that share an image byte with
// them: its time follows the edit, not the part. What it changes is
// recorded.
bool WriteBackEdits(EditingState& state);

}  // namespace kestrin
