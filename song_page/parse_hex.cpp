#include "parse_hex.h"

#include <limits>
#include <optional>

namespace kestrin {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::optional<std::int32_t> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

}  // namespace

std::int32_t ParseHex(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;

  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    at += 2;
  }

  // One past the largest magnitude either sign can hold; growing stops
  // there so long digit runs cannot overflow.
  constexpr std::int64_t kCap = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const std::optional<std::int32_t> digit = HexDigit(text[at]);
    if (!digit) break;
    magnitude = magnitude * 16 + *digit;
    if (magnitude > kCap) magnitude = kCap;
  }

  if (negative) return static_cast<std::int32_t>(-magnitude);  // -2^31 at most
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(magnitude > kMax ? kMax : magnitude);
}

}  // namespace kestrin
