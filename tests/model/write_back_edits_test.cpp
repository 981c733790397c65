// The write-back of one edit's marked bytes leaves the image and the buffers
// exactly as the write-back that compares every stream byte, on parts whose
// streams share bytes, with edits that clash and image bytes changed behind
// the buffers' back.

#include <gtest/gtest.h>

#include <random>

#include "music_bank.h"
#include "part_streams.h"

namespace kestrin {
namespace {

EditingState RandomPart(std::mt19937& rng) {
  EditingState state;
  state.romImage.resize(static_cast<std::size_t>(kRomSize));
  for (auto& b : state.romImage) b = static_cast<std::uint8_t>(rng() % 4);  // few values: clashes agree often
  state.romSize = kRomSize;
  const auto start = static_cast<std::int32_t>(0x1000 + rng() % 0x100);
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    // Streams 2 to 5 start in or right after the one before.
    state.streamPosition[k] = k == 0 ? start : state.streamPosition[k - 1] + static_cast<std::int32_t>(rng() % 12);
    state.streamLength[k] = 1 + static_cast<std::int32_t>(rng() % 16);
  }
  EXPECT_TRUE(CopyChannels(state));
  state.partLoaded = true;
  return state;
}

TEST(WriteBackEdits, LeavesWhatTheWholeWriteBackLeaves) {
  std::mt19937 rng(1208);
  int failures = 0;
  for (int part = 0; part < 300; ++part) {
    EditingState marked = RandomPart(rng);
    EditingState whole = marked;
    for (int round = 0; round < 12; ++round) {
      const int edits = static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) {
        const auto k = static_cast<std::size_t>(rng() % kStreamCount);
        const auto i = static_cast<std::size_t>(rng() % marked.channels->edit[k].size());
        const auto value = static_cast<std::uint8_t>(rng() % 4);
        marked.channels->edit[k][i] = whole.channels->edit[k][i] = value;
        MarkEdited(marked, static_cast<int>(k), i);
      }
      if (rng() % 6 == 0) {
        // A header field written over a stream byte.
        const auto at = static_cast<std::size_t>(marked.streamPosition[rng() % kStreamCount]);
        marked.romImage[at] = whole.romImage[at] = static_cast<std::uint8_t>(rng() % 4);
        ++marked.imageWrites;
      }
      const bool result = WriteBack(whole);
      ASSERT_EQ(WriteBackEdits(marked), result) << "part " << part << ", round " << round;
      failures += result ? 0 : 1;
      ASSERT_TRUE(marked.romImage == whole.romImage) << "part " << part << ", round " << round;
      ASSERT_TRUE(marked.channels->stored == whole.channels->stored);
      for (std::size_t k = 0; k < kStreamCount; ++k) ASSERT_TRUE(marked.channels->edit[k] == whole.channels->edit[k]);
    }
  }
  EXPECT_GT(failures, 10) << "clashing edits were exercised";
}

TEST(WriteBackEdits, WithoutMarksStoresNothingElse) {
  std::mt19937 rng(7);
  EditingState state = RandomPart(rng);
  const auto image = state.romImage;
  // An edit nobody reported is not this write-back's to find.
  state.channels->edit[0][0] = static_cast<std::uint8_t>(state.channels->edit[0][0] + 1);
  EXPECT_TRUE(WriteBackEdits(state));
  EXPECT_TRUE(state.romImage == image);
  MarkEdited(state, 0, 0);
  EXPECT_TRUE(WriteBackEdits(state));
  EXPECT_EQ(state.romImage[static_cast<std::size_t>(state.streamPosition[0])], state.channels->edit[0][0]);
}

}  // namespace
}  // namespace kestrin
