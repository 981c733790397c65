#include "byte_changes.h"

#include <algorithm>
#include <cstring>

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

// The byte a change names in the state as it is now, or none when the part
// it belongs to is no longer loaded.
std::uint8_t* Locate(EditingState& state, const ByteChange& change) {
  switch (change.target) {
    case ByteTarget::Image:
      if (change.position < 0 || static_cast<std::size_t>(change.position) >= state.romImage.size())
        return nullptr;
      return &state.romImage[static_cast<std::size_t>(change.position)];
    case ByteTarget::Header: {
      if (state.headerPosition <= 0) return nullptr;
      const std::int64_t index = std::int64_t{change.position} - state.headerPosition;
      if (index < 0 || index >= kPartHeaderSize) return nullptr;
      return &state.partHeader[static_cast<std::size_t>(index)];
    }
    case ByteTarget::Edit:
    case ByteTarget::Stored: {
      if (!state.channels || change.stream >= kStreamCount) return nullptr;
      ChannelBuffers& buffers = *state.channels;
      const std::int64_t index = std::int64_t{change.position} - state.streamPosition[change.stream];
      std::vector<std::uint8_t>& edit = buffers.edit[change.stream];
      if (index < 0 || static_cast<std::size_t>(index) >= edit.size()) return nullptr;
      if (change.target == ByteTarget::Edit) return &edit[static_cast<std::size_t>(index)];
      const std::size_t stored = StoredOffsets(buffers)[change.stream] + static_cast<std::size_t>(index);
      return stored < buffers.stored.size() ? &buffers.stored[stored] : nullptr;
    }
  }
  return nullptr;
}

bool SameByte(const ByteChange& a, const ByteChange& b) {
  return a.position == b.position && a.target == b.target && a.stream == b.stream;
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

void ApplyBefore(EditingState& state, std::span<const ByteChange> changes) {
  for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
    if (std::uint8_t* byte = Locate(state, *it)) *byte = it->before;
  }
  // Bytes put back behind the edit marks' back: the next write-back
  // compares everything rather than the marked bytes only.
  ++state.imageWrites;
}

void ApplyAfter(EditingState& state, std::span<const ByteChange> changes) {
  for (const ByteChange& change : changes) {
    if (std::uint8_t* byte = Locate(state, change)) *byte = change.after;
  }
  ++state.imageWrites;  // as above
}

void MergeChanges(std::vector<ByteChange>& earlier, std::span<const ByteChange> later) {
  for (const ByteChange& change : later) {
    const auto same = std::find_if(earlier.begin(), earlier.end(),
                                   [&](const ByteChange& e) { return SameByte(e, change); });
    if (same == earlier.end()) {
      earlier.push_back(change);
    } else {
      same->after = change.after;
    }
  }
  std::erase_if(earlier, [](const ByteChange& c) { return c.before == c.after; });
}

}  // namespace kestrin
