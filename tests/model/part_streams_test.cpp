// Part headers, the five channel streams, the edit buffers and the
// write-back into the image.

#include <gtest/gtest.h>

#include "model_test_support.h"
#include "part_streams.h"

namespace kestrin {
namespace {

using namespace testing_support;

// An image with no zero byte anywhere, so every stream end is one a test put
// there, and set 1 part 2 described by `header` (at header entry 0x0E).
constexpr std::int32_t kPart = 2;
constexpr std::int32_t kHeaderPosition = 0x3877C + 0x0E;

EditingState StateWithPart(const PartHeader& header) {
  std::vector<std::uint8_t> image(static_cast<std::size_t>(kRomSize));
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(1 + i % 251);
  EditingState state = StateWithImage(std::move(image));
  state.romImage[At(0x38750 + kPart)] = 0x0E;
  std::copy(header.begin(), header.end(), state.romImage.begin() + kHeaderPosition);
  return state;
}

// The example part: address 0xA123 (start 0x38133), offsets 0x20, 0x0C,
// 0x30, 0x40; stream 1 ends at its twelfth byte, stream 5 at its fourth.
constexpr PartHeader kExampleHeader{0x10, 0x23, 0xA1, 0x20, 0x0C, 0x30, 0x40};
constexpr std::int32_t kExampleStart = 0x38133;

EditingState ExamplePart() {
  EditingState state = StateWithPart(kExampleHeader);
  state.romImage[At(kExampleStart + 11)] = 0x00;
  state.romImage[At(kExampleStart + 0x40 + 3)] = 0x00;
  return state;
}

EditingState CopiedExamplePart() {
  EditingState state = ExamplePart();
  EXPECT_TRUE(LoadPart(state, kPart));
  EXPECT_TRUE(CopyChannels(state));
  return state;
}

TEST(PartLoader, FindsTheFiveStreamsOfAPart) {
  // The tempo byte has no say in where the streams are, 0 included.
  for (const std::uint8_t tempo : {std::uint8_t{0x10}, std::uint8_t{0x00}}) {
    EditingState state = ExamplePart();
    state.romImage[At(kHeaderPosition)] = tempo;
    ASSERT_TRUE(LoadPart(state, kPart));
    EXPECT_EQ(state.headerPosition, kHeaderPosition);
    EXPECT_EQ(state.partHeader, (PartHeader{tempo, 0x23, 0xA1, 0x20, 0x0C, 0x30, 0x40}));
    EXPECT_EQ(state.streamPosition, (std::array<std::int32_t, 5>{0x38133, 0x3813F, 0x38153, 0x38163, 0x38173}));
    EXPECT_EQ(state.streamLength, (std::array<std::int32_t, 5>{12, 20, 16, 16, 4}));
    EXPECT_EQ(Square1Length(state), 12);
    EXPECT_EQ(PartLength(state), 64 + 4);
  }
}

TEST(PartLoader, ShortestStreamsAndDmcOffsetsZeroAndOne) {
  EditingState state = StateWithPart({0x10, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00});
  state.romImage[At(0x38010)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  // Stream 5 is the part's first byte alone, whatever that byte holds.
  EXPECT_EQ(state.streamPosition, (std::array<std::int32_t, 5>{0x38010, 0x38010, 0x38010, 0x38010, 0x38010}));
  EXPECT_EQ(state.streamLength, (std::array<std::int32_t, 5>{1, 0, 0, 0, 1}));

  state.romImage[At(0x38010)] = 0x84;
  state.romImage[At(0x38011)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  EXPECT_EQ(state.streamLength, (std::array<std::int32_t, 5>{2, 0, 0, 0, 1}));

  // The smallest offset that takes stream 5 off the part start; it runs to
  // the zero like any other.
  state.romImage[At(kHeaderPosition + 6)] = 0x01;
  state.romImage[At(0x38011)] = 0x22;
  state.romImage[At(0x38012)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  EXPECT_EQ(state.streamPosition, (std::array<std::int32_t, 5>{0x38010, 0x38010, 0x38010, 0x38010, 0x38011}));
  EXPECT_EQ(state.streamLength, (std::array<std::int32_t, 5>{3, 0, 0, 1, 2}));
}

TEST(PartLoader, FailsWithoutChangingAnythingWhenAStreamHasNoEnd) {
  // No zero byte between the part and the end of the image.
  EditingState noEnd = StateWithPart(kExampleHeader);
  // Stream 1 ends, but the DMC stream runs to the end of the image.
  EditingState noDmcEnd = StateWithPart(kExampleHeader);
  noDmcEnd.romImage[At(kExampleStart + 11)] = 0x00;
  for (EditingState* state : {&noEnd, &noDmcEnd}) {
    state->headerPosition = 0x1234;
    state->streamLength = {5, 1, 1, 1, 1};
    state->channels.emplace();
    state->partLoaded = true;
    EXPECT_FALSE(LoadPart(*state, kPart));
    EXPECT_EQ(state->headerPosition, 0x1234);
    EXPECT_EQ(state->streamLength, (std::array<std::int32_t, 5>{5, 1, 1, 1, 1}));
    EXPECT_TRUE(state->channels.has_value());
    EXPECT_TRUE(state->partLoaded);
  }
}

TEST(PartLoader, RefusesNonPartNumbersAndMissingImage) {
  EditingState state = ExamplePart();
  EXPECT_FALSE(LoadPart(state, -1));
  EXPECT_FALSE(LoadPart(state, 256));
  EXPECT_EQ(PartLength(state), 0);
  EditingState empty;
  EXPECT_FALSE(LoadPart(empty, 0));
}

TEST(PartLoader, LoadingAnotherPartDropsTheOldBuffers) {
  EditingState state = CopiedExamplePart();
  state.partLoaded = true;
  state.channels->edit[kSquare1Stream][1] = 0x99;
  const std::vector<std::uint8_t> before = state.romImage;
  ASSERT_TRUE(LoadPart(state, kPart));
  EXPECT_FALSE(state.channels.has_value());
  EXPECT_FALSE(state.partLoaded);
  EXPECT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage, before);
}

TEST(ChannelCopy, CopiesEachStreamAndTheStoredSnapshot) {
  const EditingState state = CopiedExamplePart();
  ASSERT_TRUE(state.channels.has_value());
  std::vector<std::uint8_t> joined;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto begin = state.romImage.begin() + state.streamPosition[k];
    const std::vector<std::uint8_t> stream(begin, begin + state.streamLength[k]);
    EXPECT_EQ(state.channels->edit[k], stream) << "stream " << k + 1;
    joined.insert(joined.end(), stream.begin(), stream.end());
  }
  EXPECT_EQ(state.channels->stored, joined);
}

TEST(ChannelCopy, FailsForNegativeLengthsAndStreamsPastTheImage) {
  const std::vector<PartHeader> bad{
      {0x10, 0x23, 0xA1, 0x0B, 0x0C, 0x30, 0x40},  // byte 3 below byte 4
      {0x10, 0x23, 0xA1, 0x20, 0x0C, 0x1F, 0x40},  // byte 5 below byte 3
      {0x10, 0x23, 0xA1, 0x20, 0x0C, 0x30, 0x2F},  // byte 6 below byte 5
      {0x10, 0x23, 0xA1, 0x20, 0x0C, 0x30, 0x00},  // DMC offset 0, noise not
  };
  for (const PartHeader& header : bad) {
    EditingState state = StateWithPart(header);
    state.romImage[At(kExampleStart + 11)] = 0x00;
    state.romImage[At(kExampleStart + 0x40 + 3)] = 0x00;
    state.channels.emplace();
    state.partLoaded = true;
    ASSERT_TRUE(LoadPart(state, kPart));
    EXPECT_FALSE(CopyChannels(state)) << int(header[3]) << " " << int(header[6]);
    EXPECT_FALSE(state.channels.has_value());
    EXPECT_FALSE(state.partLoaded);
  }

  EditingState state = CopiedExamplePart();
  state.streamPosition[2] = kRomSize - 3;  // 16 bytes from 3 before the end
  EXPECT_FALSE(CopyChannels(state));
  EXPECT_FALSE(state.channels.has_value());
}

TEST(WriteBack, PackedPartChangesExactlyTheEditedBytes) {
  EditingState state = CopiedExamplePart();
  std::vector<std::uint8_t> expected = state.romImage;
  const auto edit = [&](int stream, std::size_t i, std::uint8_t value) {
    state.channels->edit[static_cast<std::size_t>(stream)][i] = value;
    expected[At(state.streamPosition[static_cast<std::size_t>(stream)]) + i] = value;
  };
  edit(kSquare1Stream, 0, 0x87);
  edit(kSquare1Stream, 5, 0x7E);
  edit(kSquare2Stream, 19, 0x31);
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage, expected);
  // Nothing new: the image stays as it is.
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage, expected);
  EXPECT_EQ(PartLength(state), 68);
}

TEST(WriteBack, NonPackedPartNeverTouchesBytesBetweenOrAroundItsStreams) {
  // Stream 1 ends after 5 bytes, stream 2 starts at 0x0C: a gap of 7 bytes
  // that belongs to no stream.
  EditingState state = StateWithPart(kExampleHeader);
  state.romImage[At(kExampleStart + 4)] = 0x00;
  state.romImage[At(kExampleStart + 0x40 + 3)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  ASSERT_TRUE(CopyChannels(state));
  std::vector<std::uint8_t> expected = state.romImage;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    for (std::size_t i = 0; i < state.channels->edit[k].size(); ++i) {
      const auto value = static_cast<std::uint8_t>(0xF0 + k);
      state.channels->edit[k][i] = value;
      expected[At(state.streamPosition[k]) + i] = value;
    }
  }
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage, expected);
}

TEST(WriteBack, DmcOffsetZeroKeepsAnEditOfTheFirstByte) {
  EditingState state = StateWithPart({0x10, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00});
  state.romImage[At(0x38013)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  ASSERT_TRUE(CopyChannels(state));
  state.channels->edit[kSquare1Stream][0] = 0x8F;
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage[0x38010], 0x8F);
  // The DMC buffer follows, so later write-backs keep the edit as well.
  state.channels->edit[kSquare1Stream][2] = 0x44;
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage[0x38010], 0x8F);
  EXPECT_EQ(state.romImage[0x38012], 0x44);
}

TEST(WriteBack, KeepsChangesMadeToTheImageInsideTheStreams) {
  // A part whose stream 1 runs over its own header and part table entry:
  // address 0x8740 starts at 0x38750, the set 1 part table.
  const PartHeader header{0x10, 0x40, 0x87, 0x60, 0x60, 0x60, 0x60};
  EditingState state = StateWithPart(header);
  state.romImage[At(0x38750 + 0x5F)] = 0x00;
  state.romImage[At(0x38750 + 0x60 + 2)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  ASSERT_TRUE(CopyChannels(state));
  ASSERT_EQ(Square1Length(state), 0x60);

  // The header fields change the tempo and a part table entry in the image.
  state.romImage[At(kHeaderPosition)] = 0x22;
  state.romImage[At(0x38750 + 7)] = 0x15;
  state.channels->edit[kSquare1Stream][3] = 0x85;
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage[At(kHeaderPosition)], 0x22);
  EXPECT_EQ(state.romImage[At(0x38750 + 7)], 0x15);
  EXPECT_EQ(state.romImage[At(0x38750 + 3)], 0x85);
  // The buffer shows what the image now holds.
  EXPECT_EQ(state.channels->edit[kSquare1Stream][At(kHeaderPosition - 0x38750)], 0x22);
  ASSERT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage[At(kHeaderPosition)], 0x22);
}

TEST(WriteBack, OverlappingStreamsEditedDifferentlyFailOnce) {
  // Stream 2 starts at the part start, so it shares its bytes with stream 1.
  EditingState state = StateWithPart({0x10, 0x00, 0x80, 0x04, 0x00, 0x04, 0x04});
  state.romImage[At(0x38010 + 5)] = 0x00;
  state.romImage[At(0x38010 + 6)] = 0x00;
  ASSERT_TRUE(LoadPart(state, kPart));
  ASSERT_TRUE(CopyChannels(state));
  state.channels->edit[kSquare1Stream][1] = 0x81;
  state.channels->edit[kSquare2Stream][1] = 0x82;
  EXPECT_FALSE(WriteBack(state));
  // The image keeps one of the two values and the next write-back settles.
  const std::uint8_t kept = state.romImage[0x38011];
  EXPECT_TRUE(kept == 0x81 || kept == 0x82);
  EXPECT_TRUE(WriteBack(state));
  EXPECT_EQ(state.channels->edit[kSquare1Stream][1], kept);
  EXPECT_EQ(state.channels->edit[kSquare2Stream][1], kept);

  // Edited to the same value they agree.
  state.channels->edit[kSquare1Stream][2] = 0x90;
  state.channels->edit[kSquare2Stream][2] = 0x90;
  EXPECT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage[0x38012], 0x90);
}

TEST(WriteBack, WithoutBuffersWritesNothingAndSucceeds) {
  EditingState state = ExamplePart();
  const std::vector<std::uint8_t> before = state.romImage;
  EXPECT_TRUE(WriteBack(state));
  ASSERT_TRUE(LoadPart(state, kPart));
  EXPECT_TRUE(WriteBack(state));
  EXPECT_EQ(state.romImage, before);
}

TEST(WriteBack, RefusesBuffersThatNoLongerFitThePart) {
  EditingState state = CopiedExamplePart();
  const std::vector<std::uint8_t> before = state.romImage;
  state.channels->edit[kSquare1Stream].push_back(0x84);
  EXPECT_FALSE(WriteBack(state));
  state.channels->edit[kSquare1Stream].pop_back();
  state.streamPosition[4] = kRomSize - 1;
  state.channels->edit[4][0] ^= 0xFF;
  EXPECT_FALSE(WriteBack(state));
  EXPECT_EQ(state.romImage, before);
}

// Created empty: every number 0, song set 1, no file name, no buffers, both
// flags off.
TEST(EditingStateLifecycle, StartsEmpty) {
  const EditingState state;
  const std::pair<const char*, std::int32_t> numbers[] = {{"ROM size", state.romSize},
                                                          {"first-part position", state.firstPartPosition},
                                                          {"last-part position", state.lastPartPosition},
                                                          {"loop-part position", state.loopPartPosition},
                                                          {"first part", state.firstPart},
                                                          {"last part", state.lastPart},
                                                          {"loop part", state.loopPart},
                                                          {"header position", state.headerPosition}};
  for (const auto& [name, value] : numbers) EXPECT_EQ(value, 0) << name;
  EXPECT_EQ(state.streamPosition, (std::array<std::int32_t, 5>{}));
  EXPECT_EQ(state.streamLength, (std::array<std::int32_t, 5>{}));
  EXPECT_EQ(state.partHeader, PartHeader{});
  EXPECT_EQ(state.songSet, SongSet::One);
  EXPECT_TRUE(state.romImage.empty() && state.currentFileName.empty() && state.songPartList.empty());
  EXPECT_FALSE(state.channels.has_value() || state.fileLoaded || state.partLoaded);
}

TEST(EditingStateLifecycle, DropPartAndReleaseLeaveNothingBehind) {
  EditingState state = CopiedExamplePart();
  state.partLoaded = true;
  state.fileLoaded = true;
  state.songPartList = {1, 2, 3};
  state.filesOnDisk.push_back({"/songs/a.nes", {}});
  DropPart(state);
  EXPECT_FALSE(state.channels.has_value());
  EXPECT_FALSE(state.partLoaded);
  EXPECT_EQ(PartLength(state), 0);
  EXPECT_EQ(state.streamPosition, (std::array<std::int32_t, 5>{}));
  EXPECT_EQ(state.partHeader, PartHeader{});
  EXPECT_EQ(state.romImage.size(), static_cast<std::size_t>(kRomSize));

  ASSERT_TRUE(LoadPart(state, kPart));
  ASSERT_TRUE(CopyChannels(state));
  Release(state);
  EXPECT_TRUE(state.romImage.empty());
  EXPECT_EQ(state.romSize, 0);
  EXPECT_FALSE(state.fileLoaded);
  EXPECT_TRUE(state.songPartList.empty());
  EXPECT_TRUE(state.filesOnDisk.empty());
  EXPECT_FALSE(state.channels.has_value());
  Release(state);  // twice is harmless
}

}  // namespace
}  // namespace kestrin
