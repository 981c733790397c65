#pragma once
// Applying a patch whose format is told by its first bytes.

#include <cstdint>
#include <span>

#include "patch_result.h"

namespace kestrin::rom_tool {

// IPS for "PATCH", BPS for "BPS1"; anything else is refused.
PatchResult ApplyAnyPatch(std::span<const std::uint8_t> source, std::span<const std::uint8_t> patch);

}  // namespace kestrin::rom_tool
