#include "image_bytes.h"

#include <algorithm>

namespace kestrin {

namespace {

bool InsideImage(const EditingState& state, std::int32_t position) {
  const auto held = static_cast<std::int64_t>(state.romImage.size());
  const std::int64_t size = std::min<std::int64_t>(held, state.romSize);
  return position >= 0 && position < size;
}

}  // namespace

std::optional<std::uint8_t> ImageByte(const EditingState& state, std::int32_t position) {
  if (!InsideImage(state, position)) return std::nullopt;
  return state.romImage[static_cast<std::size_t>(position)];
}

bool SetImageByte(EditingState& state, std::int32_t position, std::uint8_t value) {
  if (!InsideImage(state, position)) return false;
  state.romImage[static_cast<std::size_t>(position)] = value;
  ++state.imageWrites;  // the next write-back takes such changes over into the edit buffers
  return true;
}

}  // namespace kestrin
