#include "settings_number.h"

#include <cstddef>
#include <limits>

namespace kestrin {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The digit's value in the base, or -1 when it is no digit of that base.
int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < base ? value : -1;
}

bool IsX(char c) { return c == 'x' || c == 'X'; }

}  // namespace

std::optional<std::int32_t> ParseSettingsInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;

  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  int base = 10;
  if (i < text.size() && (text[i] == '$' || IsX(text[i]))) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && IsX(text[i + 1])) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;

  // Accumulate the magnitude in 64 bits; stop as soon as it leaves the range
  // so arbitrarily long digit strings cannot overflow. Decimal numbers must
  // fit the signed 32-bit range; hexadecimal ones may use all 32 bits and
  // are read as that bit pattern ("$FFFFFFFF" is -1).
  constexpr std::int64_t kLargestDecimal =
      -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min());
  constexpr std::int64_t kLargestHex = std::numeric_limits<std::uint32_t>::max();
  const std::int64_t largest = base == 16 ? kLargestHex : kLargestDecimal;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > largest) return std::nullopt;
  }
  if (base == 16) {
    const auto bits = static_cast<std::uint32_t>(magnitude);
    const std::uint32_t signedBits = negative ? 0u - bits : bits;
    return static_cast<std::int32_t>(signedBits);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int16_t PitchLightIntensityFromText(std::string_view text) {
  const std::int32_t value = ParseSettingsInteger(text).value_or(kDefaultPitchLightIntensity);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

std::int32_t CaseHeightFromText(std::string_view text) {
  return ParseSettingsInteger(text).value_or(kDefaultCaseHeight);
}

std::int32_t PropCaseLengthFromText(std::string_view text) {
  const std::int32_t value = ParseSettingsInteger(text).value_or(kDefaultPropCaseLength);
  return value == 0 ? 1 : value;
}

}  // namespace kestrin
