// IPS and BPS patches: hand-built patches with known bytes, round trips over
// random edits, and damaged patches that must be refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "any_patch.h"
#include "bps_patch.h"
#include "ips_patch.h"

namespace kestrin::rom_tool {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ascii(const std::string& text) { return {text.begin(), text.end()}; }

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes LittleEndian(uLong crc) {
  return {static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc >> 16),
          static_cast<std::uint8_t>(crc >> 24)};
}

uLong ZlibCrc(const Bytes& bytes) { return crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())); }

// Appends the three checksums as the format lays them out, computed with
// zlib directly.
Bytes WithBpsFooter(Bytes body, const Bytes& source, const Bytes& target) {
  body = Cat({body, LittleEndian(ZlibCrc(source)), LittleEndian(ZlibCrc(target))});
  return Cat({body, LittleEndian(ZlibCrc(body))});
}

Bytes RandomImage(std::mt19937& random, std::size_t size) {
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

TEST(IpsPatchTest, WritesOneRecordPerChangedRun) {
  const Bytes source(16, 0x11);
  Bytes target = source;
  target[2] = 0xAA;
  target[9] = 0xBB;
  target[10] = 0xCC;
  const Bytes expected = Cat({Ascii("PATCH"), {0x00, 0x00, 0x02, 0x00, 0x01, 0xAA},
                              {0x00, 0x00, 0x09, 0x00, 0x02, 0xBB, 0xCC}, Ascii("EOF")});
  EXPECT_EQ(MakeIpsPatch(source, target), expected);
  EXPECT_EQ(MakeIpsPatch(source, source), Cat({Ascii("PATCH"), Ascii("EOF")}));
}

TEST(IpsPatchTest, ReadsPlainAndRunLengthRecordsAndTheCutToSize) {
  const Bytes source(12, 0x00);
  const Bytes patch = Cat({Ascii("PATCH"),
                           {0x00, 0x00, 0x01, 0x00, 0x02, 0x41, 0x42},        // "AB" at 1
                           {0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x04, 0x7E},  // 4 x 7E at 5
                           Ascii("EOF"), {0x00, 0x00, 0x0A}});                 // cut to 10 bytes
  const PatchResult result = ApplyIpsPatch(source, patch);
  ASSERT_TRUE(result.Applied()) << result.error;
  EXPECT_EQ(result.bytes, (Bytes{0x00, 0x41, 0x42, 0x00, 0x00, 0x7E, 0x7E, 0x7E, 0x7E, 0x00}));
}

TEST(IpsPatchTest, SplitsARunLongerThanARecordHolds) {
  const Bytes source(0x20000, 0x00);
  Bytes target = source;
  for (std::size_t i = 0x10; i < 0x10 + 0x10000 + 5; ++i) target[i] = 0x55;  // 65541 bytes
  const Bytes patch = MakeIpsPatch(source, target);
  // First record: offset 0x10, 0xFFFF bytes; the second takes the other 6.
  ASSERT_GE(patch.size(), 10u);
  EXPECT_EQ(Bytes(patch.begin() + 5, patch.begin() + 10), (Bytes{0x00, 0x00, 0x10, 0xFF, 0xFF}));
  const std::size_t second = 5 + 5 + 0xFFFF;
  EXPECT_EQ(Bytes(patch.begin() + static_cast<long>(second), patch.begin() + static_cast<long>(second) + 5),
            (Bytes{0x01, 0x00, 0x0F, 0x00, 0x06}));
  EXPECT_EQ(patch.size(), 5 + (5 + 0xFFFF) + (5 + 6) + 3);
  const PatchResult result = ApplyIpsPatch(source, patch);
  ASSERT_TRUE(result.Applied()) << result.error;
  EXPECT_EQ(result.bytes, target);
}

TEST(IpsPatchTest, NoRecordStartsAtTheOffsetThatReadsEof) {
  const Bytes source(0x454F50, 0x00);
  Bytes target = source;
  target[0x454F46] = 0x01;
  const Bytes patch = MakeIpsPatch(source, target);
  // Started one byte earlier: offset 45 4F 45, two bytes.
  EXPECT_EQ(patch, Cat({Ascii("PATCH"), {0x45, 0x4F, 0x45, 0x00, 0x02, 0x00, 0x01}, Ascii("EOF")}));
  EXPECT_EQ(ApplyIpsPatch(source, patch).bytes, target);
}

TEST(IpsPatchTest, RefusesCutShortPatches) {
  const Bytes source(8, 0x00);
  for (const Bytes& patch : {Ascii("PATCH"), Cat({Ascii("PATCH"), {0x00, 0x00, 0x01, 0x00}}),
                             Cat({Ascii("PATCH"), {0x00, 0x00, 0x01, 0x00, 0x03, 0x41}}),
                             Cat({Ascii("PATCH"), {0x00, 0x00, 0x01, 0x00, 0x00, 0x00}}),
                             Cat({Ascii("PATCH"), {0x00, 0x00, 0x01, 0x00, 0x01, 0x41}}),
                             Cat({Ascii("PATCH"), Ascii("EOF"), {0x01}})}) {
    const PatchResult result = ApplyIpsPatch(source, patch);
    EXPECT_FALSE(result.Applied());
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
  }
}

TEST(BpsPatchTest, NumbersUseTheFormatsVariableLength) {
  const auto encoded = [](std::uint64_t value) {
    Bytes out;
    PutBpsNumber(out, value);
    return out;
  };
  EXPECT_EQ(encoded(0), (Bytes{0x80}));
  EXPECT_EQ(encoded(127), (Bytes{0xFF}));
  EXPECT_EQ(encoded(128), (Bytes{0x00, 0x80}));
  EXPECT_EQ(encoded(0x60010), (Bytes{0x10, 0x7F, 0x96}));
  EXPECT_EQ(Crc32(Ascii("123456789")), 0xCBF43926u);
}

TEST(BpsPatchTest, WritesSourceReadForUnchangedAndTargetReadForChangedRuns) {
  const Bytes source = Ascii("ABCD");
  const Bytes target = Ascii("ABXD");
  // BPS1, sizes 4 and 4, no metadata; SourceRead 2, TargetRead 1 "X", SourceRead 1.
  const Bytes body = Cat({Ascii("BPS1"), {0x84, 0x84, 0x80}, {0x84}, {0x81, 'X'}, {0x80}});
  EXPECT_EQ(MakeBpsPatch(source, target), WithBpsFooter(body, source, target));
}

TEST(BpsPatchTest, ReadsCopyActionsWithSignedCursorMoves) {
  const Bytes source = Ascii("ABCD");
  const Bytes target = Ascii("AAAADCB");
  const Bytes body = Cat({Ascii("BPS1"), {0x84, 0x87, 0x80},
                          {0x81, 'A'},    // TargetRead "A"
                          {0x8B, 0x80},   // TargetCopy 3 from output 0: a run
                          {0x82, 0x86},   // SourceCopy 1 at +3: D
                          {0x82, 0x85},   // SourceCopy 1 at -2: C
                          {0x82, 0x85}});  // SourceCopy 1 at -2: B
  const PatchResult result = ApplyBpsPatch(source, WithBpsFooter(body, source, target));
  ASSERT_TRUE(result.Applied()) << result.error;
  EXPECT_EQ(result.bytes, target);
}

TEST(BpsPatchTest, RefusesAWrongSourceAndDamagedPatches) {
  const Bytes source = Ascii("ABCDEFGH");
  const Bytes target = Ascii("ABCxEFGy");
  const Bytes patch = MakeBpsPatch(source, target);

  const PatchResult wrongSource = ApplyBpsPatch(Ascii("ABCDEFGZ"), patch);
  EXPECT_FALSE(wrongSource.Applied());
  EXPECT_NE(wrongSource.error.find("another file"), std::string::npos) << wrongSource.error;

  Bytes corrupted = patch;
  corrupted[9] ^= 0x01;
  EXPECT_FALSE(ApplyBpsPatch(source, corrupted).Applied());
  for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{12}, patch.size() - 1}) {
    const PatchResult cut = ApplyBpsPatch(source, Bytes(patch.begin(), patch.begin() + static_cast<long>(size)));
    EXPECT_FALSE(cut.Applied()) << size;
    EXPECT_TRUE(cut.bytes.empty());
  }

  // Checksums right, but an action reads past the source.
  const Bytes outside = Cat({Ascii("BPS1"), {0x84, 0x84, 0x80}, {0x8C}});  // SourceRead 4... of 4: fine
  EXPECT_TRUE(ApplyBpsPatch(Ascii("ABCD"), WithBpsFooter(outside, Ascii("ABCD"), Ascii("ABCD"))).Applied());
  const Bytes tooFar = Cat({Ascii("BPS1"), {0x84, 0x84, 0x80}, {0x82, 0x88}, {0x80}});  // SourceCopy at +4
  EXPECT_FALSE(ApplyBpsPatch(Ascii("ABCD"), WithBpsFooter(tooFar, Ascii("ABCD"), Ascii("ABCD"))).Applied());
}

TEST(PatchRoundTripTest, BothFormatsRebuildRandomEditsExactly) {
  std::mt19937 random(1234);
  for (int round = 0; round < 40; ++round) {
    const Bytes source = RandomImage(random, 4096);
    Bytes target = source;
    const int edits = static_cast<int>(random() % 30);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % target.size();
      const std::size_t run = 1 + random() % 40;
      for (std::size_t i = at; i < std::min(target.size(), at + run); ++i) target[i] = static_cast<std::uint8_t>(random());
    }
    for (const Bytes& patch : {MakeIpsPatch(source, target), MakeBpsPatch(source, target)}) {
      const PatchResult result = ApplyAnyPatch(source, patch);
      ASSERT_TRUE(result.Applied()) << result.error;
      EXPECT_EQ(result.bytes, target) << "round " << round;
    }
  }
}

TEST(PatchRoundTripTest, UnknownMagicIsRefused) {
  const PatchResult result = ApplyAnyPatch(Ascii("ABCD"), Ascii("UPS1 something"));
  EXPECT_FALSE(result.Applied());
  EXPECT_FALSE(result.error.empty());
}

}  // namespace
}  // namespace kestrin::rom_tool
