#pragma once
// IPS patches: "PATCH", records of (3-byte offset, 2-byte size, bytes) or
// RLE records (size 0, 2-byte run length, 1 value byte), "EOF", and an
// optional 3-byte size to cut the output to. All numbers big-endian.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "patch_result.h"

namespace kestrin::rom_tool {

inline constexpr std::string_view kIpsMagic = "PATCH";
inline constexpr std::size_t kIpsMaxRecordSize = 0xFFFF;

// A patch that turns `source` into `target`: one record per run of changed
// bytes, runs longer than a record holds split over several records. A
// shorter target gets the cut-to size after "EOF". Throws std::length_error
// when the target reaches past the 16 MiB an IPS offset can address.
std::vector<std::uint8_t> MakeIpsPatch(std::span<const std::uint8_t> source,
                                       std::span<const std::uint8_t> target);

// `source` with `patch` applied. Refuses a patch without the magic, cut off
// inside a record or before "EOF", or with bytes after the cut-to size.
PatchResult ApplyIpsPatch(std::span<const std::uint8_t> source, std::span<const std::uint8_t> patch);

}  // namespace kestrin::rom_tool
