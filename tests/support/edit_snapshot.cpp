#include "edit_snapshot.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace kestrin {
namespace {

bool SameStreams(const EditSnapshot& snapshot, const EditingState& state) {
  if (!snapshot.channels || !state.channels || snapshot.streamPosition != state.streamPosition) return false;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    if (snapshot.channels->edit[k].size() != state.channels->edit[k].size()) return false;
  }
  return snapshot.channels->stored.size() == state.channels->stored.size();
}

void AddDifferences(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after,
                    std::int32_t firstPosition, ByteTarget target, std::uint8_t stream,
                    std::vector<ByteChange>& out) {
  const std::size_t size = std::min(before.size(), after.size());
  // An edit changes a handful of bytes of a 384 KiB image: skip equal
  // blocks with memcmp, then look at single bytes.
  constexpr std::size_t kBlock = 4096;
  for (std::size_t start = 0; start < size; start += kBlock) {
    const std::size_t length = std::min(kBlock, size - start);
    if (std::memcmp(before.data() + start, after.data() + start, length) == 0) continue;
    for (std::size_t i = start; i < start + length; ++i) {
      if (before[i] != after[i]) {
        out.push_back(ByteChange{firstPosition + static_cast<std::int32_t>(i), target, stream, before[i], after[i]});
      }
    }
  }
}

}  // namespace

void TakeSnapshot(const EditingState& state, EditSnapshot& snapshot) {
  snapshot.image.assign(state.romImage.begin(), state.romImage.end());
  if (state.channels) {
    if (!snapshot.channels) snapshot.channels.emplace();
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      snapshot.channels->edit[k].assign(state.channels->edit[k].begin(), state.channels->edit[k].end());
    }
    snapshot.channels->stored.assign(state.channels->stored.begin(), state.channels->stored.end());
  } else {
    snapshot.channels.reset();
  }
  snapshot.streamPosition = state.streamPosition;
  snapshot.headerPosition = state.headerPosition;
  snapshot.partHeader = state.partHeader;
}

std::vector<ByteChange> ChangesSince(const EditSnapshot& snapshot, const EditingState& state) {
  std::vector<ByteChange> changes;
  AddDifferences(snapshot.image, state.romImage, 0, ByteTarget::Image, 0, changes);
  if (SameStreams(snapshot, state)) {
    const auto offsets = StoredOffsets(*state.channels);
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      const auto stream = static_cast<std::uint8_t>(k);
      const std::int32_t position = state.streamPosition[k];
      const auto& before = snapshot.channels->edit[k];
      AddDifferences(before, state.channels->edit[k], position, ByteTarget::Edit, stream, changes);
      const std::span<const std::uint8_t> storedBefore(snapshot.channels->stored);
      const std::span<const std::uint8_t> storedNow(state.channels->stored);
      AddDifferences(storedBefore.subspan(offsets[k], before.size()), storedNow.subspan(offsets[k], before.size()),
                     position, ByteTarget::Stored, stream, changes);
    }
  }
  if (snapshot.headerPosition > 0 && snapshot.headerPosition == state.headerPosition) {
    AddDifferences(snapshot.partHeader, state.partHeader, state.headerPosition, ByteTarget::Header, 0, changes);
  }
  return changes;
}

}  // namespace kestrin
