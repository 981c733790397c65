#pragma once
// Reading the hexadecimal texts of the song page's edit boxes.

#include <cstdint>
#include <string_view>

namespace kestrin {

// Reads `text` as a base-16 integer: leading white space, an optional "+" or
// "-", an optional "0x"/"0X", then hexadecimal digits of either case up to
// the first other character. A text without a digit gives 0; a value beyond
// the 32-bit signed range is clamped to it.
std::int32_t ParseHex(std::string_view text);

// The byte the page stores for a parsed value: its low 8 bits, so "-1"
// stores 0xFF.
constexpr std::uint8_t LowByte(std::int32_t value) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

}  // namespace kestrin
