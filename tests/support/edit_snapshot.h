#pragma once
// What changed between two moments, found by comparing everything: the
// image, the edit buffers, the part buffer and the header copy. The editor
// never compares; it records every change where it makes it (write_path.h).
// This comparison is the tests' independent account of the same changes.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "byte_change.h"
#include "editing_state.h"

namespace kestrin {

// Everything an edit may change, as it stood at one moment.
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

}  // namespace kestrin
