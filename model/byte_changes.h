#pragma once
// What one edit changed, byte by byte: in the image, in the edit buffers, in
// the part buffer and in the part header copy. Old and new values of each
// byte are kept, so the edit can be taken back and done again exactly.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "editing_state.h"

namespace kestrin {

enum class ByteTarget : std::uint8_t {
  Image,   // romImage[position]
  Edit,    // the edit buffer of `stream`, at position - its stream position
  Stored,  // the part buffer's copy of `stream`, at the same place
  Header,  // the part header copy, at position - the header position
};

// Bytes of a buffer or of the header copy are located by the image offset
// they stand for, so a change finds its byte again as long as a part with
// that stream (or header) at that place is loaded, and is skipped otherwise.
struct ByteChange {
  std::int32_t position = 0;
  ByteTarget target = ByteTarget::Image;
  std::uint8_t stream = 0;
  std::uint8_t before = 0;
  std::uint8_t after = 0;
  friend bool operator==(const ByteChange&, const ByteChange&) = default;
};

// Everything an edit may change, as it stood before the edit. Kept between
// edits so its memory is reused.
struct EditSnapshot {
  std::vector<std::uint8_t> image;
  std::optional<ChannelBuffers> channels;
  std::array<std::int32_t, kStreamCount> streamPosition{};
  std::int32_t headerPosition = 0;
  PartHeader partHeader{};
};

void TakeSnapshot(const EditingState& state, EditSnapshot& snapshot);

// The bytes that differ between the snapshot and the state now, in image
// order. Buffer and header bytes are compared only when the same part is
// loaded in both.
std::vector<ByteChange> ChangesSince(const EditSnapshot& snapshot, const EditingState& state);

// Puts back the old values, last change first.
void ApplyBefore(EditingState& state, std::span<const ByteChange> changes);
// Puts the new values in again, first change first.
void ApplyAfter(EditingState& state, std::span<const ByteChange> changes);

// Joins `later` onto `earlier` as one edit: a byte changed by both keeps the
// first old value and the last new value; a byte that ends where it began is
// dropped.
void MergeChanges(std::vector<ByteChange>& earlier, std::span<const ByteChange> later);

}  // namespace kestrin
