#pragma once
// BPS patches: "BPS1", source size, target size and metadata size as
// variable-length numbers, the metadata, the actions (SourceRead,
// TargetRead, SourceCopy, TargetCopy), and the CRC-32 of the source, of the
// target and of the patch itself, each 4 bytes little-endian.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "patch_result.h"

namespace kestrin::rom_tool {

inline constexpr std::string_view kBpsMagic = "BPS1";

// A patch that turns `source` into `target`, with SourceRead for unchanged
// runs and TargetRead for changed ones.
std::vector<std::uint8_t> MakeBpsPatch(std::span<const std::uint8_t> source,
                                       std::span<const std::uint8_t> target);

// `source` with `patch` applied. Refuses a damaged patch (its own CRC-32), a
// patch made for another source (size or CRC-32), actions that read outside
// the source, the patch or the output, and a result whose size or CRC-32
// differ from the target's: nothing wrong is ever returned.
PatchResult ApplyBpsPatch(std::span<const std::uint8_t> source, std::span<const std::uint8_t> patch);

// The variable-length numbers of the format, exposed for tests that build
// patches by hand.
void PutBpsNumber(std::vector<std::uint8_t>& out, std::uint64_t value);

// CRC-32 as the format uses it (zlib's).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace kestrin::rom_tool
