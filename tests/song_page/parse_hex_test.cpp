#include "parse_hex.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrin {
namespace {

TEST(ParseHex, ReadsDigitsAfterBlanksSignAndPrefix) {
  EXPECT_EQ(ParseHex("0A"), 0x0A);
  EXPECT_EQ(ParseHex("  +0x1A"), 0x1A);
  EXPECT_EQ(ParseHex("\t0X1f"), 0x1F);
  EXPECT_EQ(ParseHex("ffff"), 0xFFFF);
  EXPECT_EQ(ParseHex("-1"), -1);
  EXPECT_EQ(ParseHex("-0x10"), -0x10);
}

TEST(ParseHex, ReadsEveryDigitInBothCases) {
  EXPECT_EQ(ParseHex("01234567"), 0x01234567);
  EXPECT_EQ(ParseHex("89abcdef"), std::numeric_limits<std::int32_t>::max());  // clamped
  EXPECT_EQ(ParseHex("9abcdef"), 0x9ABCDEF);
  EXPECT_EQ(ParseHex("9ABCDEF"), 0x9ABCDEF);
}

TEST(ParseHex, StopsAtTheFirstOtherCharacter) {
  // The characters next to the digits' ranges end the number too.
  for (const char* text : {"1/", "1:", "1@", "1G", "1`", "1g"}) EXPECT_EQ(ParseHex(text), 1) << text;
  EXPECT_EQ(ParseHex("1Az"), 0x1A);
  EXPECT_EQ(ParseHex("12 34"), 0x12);
  EXPECT_EQ(ParseHex("E_Parts"), 0x0E);
}

TEST(ParseHex, TextWithoutADigitGivesZero) {
  EXPECT_EQ(ParseHex(""), 0);
  EXPECT_EQ(ParseHex("G"), 0);
  EXPECT_EQ(ParseHex("0"), 0);
  EXPECT_EQ(ParseHex("   "), 0);
  EXPECT_EQ(ParseHex("-"), 0);
  EXPECT_EQ(ParseHex("0x"), 0);
  EXPECT_EQ(ParseHex("+ 5"), 0);
}

TEST(ParseHex, ClampsToTheSignedRange) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(ParseHex("7FFFFFFF"), kMax);
  EXPECT_EQ(ParseHex("80000000"), kMax);
  EXPECT_EQ(ParseHex("FFFFFFFFFFFFFFFFFFFFFFFF"), kMax);
  EXPECT_EQ(ParseHex("-80000000"), kMin);
  EXPECT_EQ(ParseHex("-80000001"), kMin);
  EXPECT_EQ(ParseHex("-FFFFFFFFFFFFFFFFFFFFFFFF"), kMin);
}

TEST(ParseHex, StoredByteKeepsTheLowEightBits) {
  EXPECT_EQ(LowByte(ParseHex("-1")), 0xFF);
  EXPECT_EQ(LowByte(ParseHex("1234")), 0x34);
  EXPECT_EQ(LowByte(ParseHex("-100")), 0x00);
  EXPECT_EQ(LowByte(ParseHex("7FFFFFFFFF")), 0xFF);
}

}  // namespace
}  // namespace kestrin
