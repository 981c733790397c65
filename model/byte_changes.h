#pragma once
// What changed between two moments, found by comparing everything: the
// image, the edit buffers, the part buffer and the header copy. The editor
// itself never compares; it records every change where it makes it
// (write_path.h). The comparison is the tests' independent account of the
// same changes. Joining changes into one edit is shared by both.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
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

// Joins `later` onto `earlier` as one edit: a byte changed by both keeps the
// first old value and the last new value; a byte that ends where it began is
// dropped. The result holds each byte once, in image order (then by target
// and stream), whatever order either list was in.
void MergeChanges(std::vector<ByteChange>& earlier, std::span<const ByteChange> later);

// `changes` joined with themselves: each byte once, net.
std::vector<ByteChange> NetChanges(std::span<const ByteChange> changes);

}  // namespace kestrin
