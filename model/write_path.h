#pragma once
// The one road by which the editor changes bytes. Every change of a byte of
// the image, of an edit buffer, of the part buffer or of the part header
// copy is made by a function of this file or by one of the two write-backs
// (part_streams.h). Each of them
//   - records where it wrote, the old value and the new one into the open
//     Recording (the undo history keeps one per step), and
//   - marks the stream bytes the marked write-back must look at next.
// Loading a file or a part is no change of bytes: it replaces the image or
// the buffers whole, and what was marked goes with them.

#include <cstdint>
#include <optional>
#include <span>

#include "byte_change.h"
#include "editing_state.h"

namespace kestrin {

// Collects the changes made while it lives. Recordings nest: an inner one
// sees its own changes, an outer one those of the inner ones too.
class Recording {
 public:
  explicit Recording(EditingState& state);
  ~Recording();
  Recording(const Recording&) = delete;
  Recording& operator=(const Recording&) = delete;

  // Every change since this recording began, oldest first; a byte written
  // twice appears twice (NetChanges joins them).
  std::span<const ByteChange> Changes() const;

 private:
  EditingState::WriteRecord& record_;
  std::size_t first_;
};

// The image byte at `position`, or nothing outside the image.
std::optional<std::uint8_t> ImageByte(const EditingState& state, std::int32_t position);

// Writes one image byte. A stream byte of the loaded part at that place is
// marked, so the next write-back takes the new value over into its buffers.
// False, writing nothing, outside the image.
bool SetImageByte(EditingState& state, std::int32_t position, std::uint8_t value);

// Writes byte `index` of edit buffer `stream` (0 to 4) and marks it for the
// write-back. False, writing nothing, when there is no such byte.
bool SetStreamByte(EditingState& state, int stream, std::size_t index, std::uint8_t value);

// Writes byte `byteNumber` (0 to 6) of the loaded part's header copy. False,
// writing nothing, when no header was loaded.
bool SetHeaderCopyByte(EditingState& state, int byteNumber, std::uint8_t value);

// Undo and redo: put back the old values, last change first, or the new
// ones, first change first, each through the functions above (the part
// buffer's bytes alike), so they are recorded and marked as any edit is.
// A change whose part is no longer loaded is skipped.
void ApplyBefore(EditingState& state, std::span<const ByteChange> changes);
void ApplyAfter(EditingState& state, std::span<const ByteChange> changes);

// For the write-backs, which settle the bytes they look at themselves:
// records a change they made without marking anything.
void RecordChange(EditingState& state, const ByteChange& change);

}  // namespace kestrin
