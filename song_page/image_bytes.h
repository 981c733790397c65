#pragma once
// Bounds-checked byte access to the ROM image for the page's edits.
// Positions come from the data layer; a position outside the image is
// refused rather than trusted.

#include <cstdint>
#include <optional>

#include "editing_state.h"

namespace kestrin {

std::optional<std::uint8_t> ImageByte(const EditingState& state, std::int32_t position);

// False, writing nothing, when `position` lies outside the image.
bool SetImageByte(EditingState& state, std::int32_t position, std::uint8_t value);

}  // namespace kestrin
