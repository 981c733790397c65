#pragma once
// How the options page reads its three number boxes. Pure, no Qt.
//
// A text is an integer when, after optional blanks, it holds an optional
// sign and then either decimal digits or hexadecimal digits after "$", "x"
// or "0x" (any case of x), with nothing after the digits, and the value
// fits in 32 bits: a decimal number in the signed range, a hexadecimal one
// in 32 bits read as a signed pattern ("$FFFFFFFF" is -1). A sign comes
// before the hex prefix, so "-$F" is -15 and "$-F" is no integer. Anything else, the empty text
// included, falls back to the box's default.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrin {

inline constexpr std::int32_t kDefaultPitchLightIntensity = 20;
inline constexpr std::int32_t kDefaultCaseHeight = 16;
inline constexpr std::int32_t kDefaultPropCaseLength = 16;

std::optional<std::int32_t> ParseSettingsInteger(std::string_view text);

// The value each box gives its setting for a text.
std::int16_t PitchLightIntensityFromText(std::string_view text);  // low 16 bits, signed
std::int32_t CaseHeightFromText(std::string_view text);
std::int32_t PropCaseLengthFromText(std::string_view text);  // 0 becomes 1

}  // namespace kestrin
