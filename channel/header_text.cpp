#include "header_text.h"

#include <array>
#include <charconv>

namespace kestrin {

std::string HeaderText(std::int32_t width, std::int32_t noteLengthUnit) {
  if (noteLengthUnit <= 0) return {};
  const double units = static_cast<double>(width) / static_cast<double>(noteLengthUnit);
  // Shortest round-trip digits in fixed notation: never an exponent, never
  // trailing zeros, and a point regardless of locale.
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), units,
                                    std::chars_format::fixed);
  if (result.ec != std::errc{}) return {};
  return std::string(buffer.data(), result.ptr);
}

}  // namespace kestrin
