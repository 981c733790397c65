#include "editing_state.h"

namespace kestrin {

// Where each stream's bytes begin in ChannelBuffers::stored.
std::array<std::size_t, kStreamCount> StoredOffsets(const ChannelBuffers& buffers) {
  std::array<std::size_t, kStreamCount> offsets{};
  std::size_t next = 0;
  for (std::size_t k = 0; k < offsets.size(); ++k) {
    offsets[k] = next;
    next += buffers.edit[k].size();
  }
  return offsets;
}

std::int32_t PartLength(const EditingState& state) {
  std::int32_t length = 0;
  for (const std::int32_t streamLength : state.streamLength) length += streamLength;
  return length;
}

std::int32_t Square1Length(const EditingState& state) { return state.streamLength[kSquare1Stream]; }

void Release(EditingState& state) {
  DropPart(state);
  // Swapping with empty vectors hands the memory back, unlike clear().
  std::vector<std::uint8_t>().swap(state.romImage);
  state.romSize = 0;
  state.fileLoaded = false;
  state.filesOnDisk.clear();
  std::vector<std::int32_t>().swap(state.songPartList);
}

void DropPart(EditingState& state) {
  state.channels.reset();
  state.partLoaded = false;
  state.headerPosition = 0;
  state.partHeader = {};
  state.streamPosition = {};
  state.streamLength = {};
}

}  // namespace kestrin
