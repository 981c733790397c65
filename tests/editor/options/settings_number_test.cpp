// The number rule of the options page's boxes.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "settings_number.h"

namespace kestrin {
namespace {

struct Case {
  std::string_view text;
  std::optional<std::int32_t> value;
};

TEST(ParseSettingsInteger, AcceptsDecimalAndPrefixedHexOnly) {
  const Case cases[] = {
      {"0", 0},
      {"12", 12},
      {" 12", 12},
      {"\t 7", 7},
      {"+5", 5},
      {"-9", -9},
      {"007", 7},
      {"$F", 15},
      {"$ff", 255},
      {"x10", 16},
      {"X10", 16},
      {"0x10", 16},
      {"0X1f", 31},
      {"-$F", -15},
      {"+0x10", 16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"$7FFFFFFF", 2147483647},
      {"-$80000000", INT32_MIN},
      // Hexadecimal takes all 32 bits, read as a signed pattern.
      {"$80000000", INT32_MIN},
      {"$FFFFFFFF", -1},
      {"-$1", -1},
      // Every digit, hexadecimal ones in both cases.
      {"1234567890", 1234567890},
      {"$01234567", 0x01234567},
      {"$89abcdef", -1985229329},
      {"x89ABCDEF", -1985229329},
      // Not integers.
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"FF", std::nullopt},
      {"abc", std::nullopt},
      {"12 ", std::nullopt},
      {"1a", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {"$", std::nullopt},
      {"x", std::nullopt},
      {"0x", std::nullopt},
      {"$-F", std::nullopt},
      {"--1", std::nullopt},
      {"$G", std::nullopt},
      // The characters next to the digits' ranges.
      {"/", std::nullopt},
      {":", std::nullopt},
      {"$/", std::nullopt},
      {"$:", std::nullopt},
      {"$@", std::nullopt},
      {"$`", std::nullopt},
      {"$g", std::nullopt},
      {"1.5", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"$100000000", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseSettingsInteger(c.text), c.value) << "text \"" << c.text << "\"";
  }
}

TEST(SettingsFromText, EachBoxHasItsOwnDefault) {
  EXPECT_EQ(PitchLightIntensityFromText("FF"), 20);
  EXPECT_EQ(PitchLightIntensityFromText("$F"), 15);
  EXPECT_EQ(PitchLightIntensityFromText("-9"), -9);
  EXPECT_EQ(CaseHeightFromText(""), 16);
  EXPECT_EQ(CaseHeightFromText("abc"), 16);
  EXPECT_EQ(CaseHeightFromText("-3"), -3);
  EXPECT_EQ(PropCaseLengthFromText("abc"), 16);
  EXPECT_EQ(PropCaseLengthFromText("2147483648"), 16);
}

TEST(SettingsFromText, PitchKeepsLow16BitsSigned) {
  EXPECT_EQ(PitchLightIntensityFromText("65535"), -1);
  EXPECT_EQ(PitchLightIntensityFromText("$18000"), INT16_MIN);
  EXPECT_EQ(PitchLightIntensityFromText("65556"), 20);
  EXPECT_EQ(PitchLightIntensityFromText("32767"), 32767);
  EXPECT_EQ(PitchLightIntensityFromText("32768"), INT16_MIN);
  EXPECT_EQ(PitchLightIntensityFromText("-32769"), 32767);
  EXPECT_EQ(PitchLightIntensityFromText("65536"), 0);
}

TEST(SettingsFromText, PropCaseLengthZeroBecomesOne) {
  EXPECT_EQ(PropCaseLengthFromText("0"), 1);
  EXPECT_EQ(PropCaseLengthFromText("$0"), 1);
  EXPECT_EQ(PropCaseLengthFromText("-0"), 1);
  EXPECT_EQ(PropCaseLengthFromText("1"), 1);
  EXPECT_EQ(PropCaseLengthFromText("-1"), -1);
  // Case height has no such floor.
  EXPECT_EQ(CaseHeightFromText("0"), 0);
}

}  // namespace
}  // namespace kestrin
