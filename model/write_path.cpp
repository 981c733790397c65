#include "write_path.h"

#include <algorithm>

namespace kestrin {

namespace {

// Marks are thinned out (sorted, duplicates dropped) when the list has
// grown to twice its distinct places, and at least to this many: edits
// that never reach a write-back (Square 2, the first byte) can repeat
// without end, but only over the part's own places.
constexpr std::size_t kMarkRoom = 4096;

void Mark(ChannelBuffers& buffers, std::size_t place) {
  std::vector<std::uint32_t>& marked = buffers.marked;
  marked.push_back(static_cast<std::uint32_t>(place));
  if (marked.size() >= std::max(kMarkRoom, 2 * buffers.markedDistinct)) {
    std::sort(marked.begin(), marked.end());
    marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
    buffers.markedDistinct = marked.size();
  }
}

std::size_t StoredOffset(const ChannelBuffers& buffers, std::size_t stream) {
  std::size_t offset = 0;
  for (std::size_t k = 0; k < stream; ++k) offset += buffers.edit[k].size();
  return offset;
}

// Every stream byte of the loaded part that stands at image byte `position`.
void MarkStreamBytesAt(EditingState& state, std::int32_t position) {
  if (!state.channels) return;
  ChannelBuffers& buffers = *state.channels;
  std::size_t offset = 0;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const std::int64_t index = std::int64_t{position} - state.streamPosition[k];
    const std::size_t length = buffers.edit[k].size();
    if (index >= 0 && static_cast<std::size_t>(index) < length) Mark(buffers, offset + static_cast<std::size_t>(index));
    offset += length;
  }
}

// Index into edit buffer `stream` of the byte standing for image byte
// `position`, or nothing when the loaded part has no such byte.
std::optional<std::size_t> StreamIndex(const EditingState& state, std::uint8_t stream, std::int32_t position) {
  if (!state.channels || stream >= kStreamCount) return std::nullopt;
  const std::int64_t index = std::int64_t{position} - state.streamPosition[stream];
  if (index < 0 || static_cast<std::size_t>(index) >= state.channels->edit[stream].size()) return std::nullopt;
  return static_cast<std::size_t>(index);
}

// A part buffer byte, put back by undo or redo: the write-back must look at
// its stream byte again.
void SetStoredByte(EditingState& state, std::uint8_t stream, std::int32_t position, std::uint8_t value) {
  const std::optional<std::size_t> index = StreamIndex(state, stream, position);
  if (!index) return;
  ChannelBuffers& buffers = *state.channels;
  const std::size_t place = StoredOffset(buffers, stream) + *index;
  if (place >= buffers.stored.size()) return;
  std::uint8_t& byte = buffers.stored[place];
  if (byte == value) return;
  RecordChange(state, {position, ByteTarget::Stored, stream, byte, value});
  byte = value;
  Mark(buffers, place);
}

void Put(EditingState& state, const ByteChange& change, std::uint8_t value) {
  switch (change.target) {
    case ByteTarget::Image:
      SetImageByte(state, change.position, value);
      return;
    case ByteTarget::Edit:
      if (const auto index = StreamIndex(state, change.stream, change.position))
        SetStreamByte(state, change.stream, *index, value);
      return;
    case ByteTarget::Stored:
      SetStoredByte(state, change.stream, change.position, value);
      return;
    case ByteTarget::Header: {
      const std::int64_t index = std::int64_t{change.position} - state.headerPosition;
      if (index >= 0 && index < kPartHeaderSize) SetHeaderCopyByte(state, static_cast<int>(index), value);
      return;
    }
  }
}

}  // namespace

Recording::Recording(EditingState& state) : record_(state.record), first_(state.record.changes.size()) {
  ++record_.open;
}

Recording::~Recording() {
  // The last one to close leaves nothing behind (but keeps the memory).
  if (--record_.open == 0) record_.changes.clear();
}

std::span<const ByteChange> Recording::Changes() const {
  return std::span<const ByteChange>(record_.changes).subspan(first_);
}

void RecordChange(EditingState& state, const ByteChange& change) {
  if (state.record.open > 0) state.record.changes.push_back(change);
}

std::optional<std::uint8_t> ImageByte(const EditingState& state, std::int32_t position) {
  if (position < 0 || static_cast<std::size_t>(position) >= state.romImage.size()) return std::nullopt;
  return state.romImage[static_cast<std::size_t>(position)];
}

bool SetImageByte(EditingState& state, std::int32_t position, std::uint8_t value) {
  if (position < 0 || static_cast<std::size_t>(position) >= state.romImage.size()) return false;
  std::uint8_t& byte = state.romImage[static_cast<std::size_t>(position)];
  if (byte == value) return true;
  RecordChange(state, {position, ByteTarget::Image, 0, byte, value});
  byte = value;
  MarkStreamBytesAt(state, position);
  return true;
}

bool SetStreamByte(EditingState& state, int stream, std::size_t index, std::uint8_t value) {
  if (!state.channels || stream < 0 || stream >= kStreamCount) return false;
  ChannelBuffers& buffers = *state.channels;
  const auto k = static_cast<std::size_t>(stream);
  if (index >= buffers.edit[k].size()) return false;
  std::uint8_t& byte = buffers.edit[k][index];
  if (byte == value) return true;
  const auto position = static_cast<std::int32_t>(state.streamPosition[k] + static_cast<std::int64_t>(index));
  RecordChange(state, {position, ByteTarget::Edit, static_cast<std::uint8_t>(stream), byte, value});
  byte = value;
  Mark(buffers, StoredOffset(buffers, k) + index);
  return true;
}

bool SetHeaderCopyByte(EditingState& state, int byteNumber, std::uint8_t value) {
  if (state.headerPosition <= 0 || byteNumber < 0 || byteNumber >= kPartHeaderSize) return false;
  std::uint8_t& byte = state.partHeader[static_cast<std::size_t>(byteNumber)];
  if (byte == value) return true;
  RecordChange(state, {state.headerPosition + byteNumber, ByteTarget::Header, 0, byte, value});
  byte = value;
  return true;
}

void ApplyBefore(EditingState& state, std::span<const ByteChange> changes) {
  for (auto it = changes.rbegin(); it != changes.rend(); ++it) Put(state, *it, it->before);
}

void ApplyAfter(EditingState& state, std::span<const ByteChange> changes) {
  for (const ByteChange& change : changes) Put(state, change, change.after);
}

}  // namespace kestrin
