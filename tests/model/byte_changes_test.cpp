// The bytes an edit changed: found by comparing with a snapshot, put back
// and put in again, skipped where their part is gone, and joined for typing.
#include <gtest/gtest.h>

#include "byte_changes.h"
#include "edit_snapshot.h"
#include "write_path.h"

namespace kestrin {
namespace {

// A 64-byte image with a made-up loaded part: streams of 3, 2, 1, 1 and 1
// bytes at 10, 13, 15, 16 and 17, and a header copy at 40.
EditingState SmallState() {
  EditingState state;
  state.romImage.resize(64);
  for (std::size_t i = 0; i < state.romImage.size(); ++i) state.romImage[i] = static_cast<std::uint8_t>(i);
  state.streamPosition = {10, 13, 15, 16, 17};
  state.streamLength = {3, 2, 1, 1, 1};
  ChannelBuffers buffers;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto begin = state.romImage.begin() + state.streamPosition[k];
    buffers.edit[k].assign(begin, begin + state.streamLength[k]);
    buffers.stored.insert(buffers.stored.end(), begin, begin + state.streamLength[k]);
  }
  state.channels = std::move(buffers);
  state.headerPosition = 40;
  for (std::size_t i = 0; i < kPartHeaderSize; ++i) state.partHeader[i] = static_cast<std::uint8_t>(40 + i);
  state.partLoaded = true;
  return state;
}

TEST(ByteChanges, FindsEveryChangedByteAndTakesItBackAndAgain) {
  EditingState state = SmallState();
  const EditingState start = state;
  EditSnapshot snapshot;
  TakeSnapshot(state, snapshot);

  state.romImage[5] = 0xAA;
  state.channels->edit[1][1] = 0xBB;    // image 14
  state.channels->stored[3 + 1] = 0xCC; // stream 2's second byte in the part buffer
  state.partHeader[2] = 0xDD;           // image 42
  const EditingState edited = state;

  const std::vector<ByteChange> changes = ChangesSince(snapshot, state);
  const std::vector<ByteChange> expected{
      {5, ByteTarget::Image, 0, 5, 0xAA},
      {14, ByteTarget::Edit, 1, 14, 0xBB},
      {14, ByteTarget::Stored, 1, 14, 0xCC},
      {42, ByteTarget::Header, 0, 42, 0xDD},
  };
  EXPECT_EQ(changes, expected);

  ApplyBefore(state, changes);
  EXPECT_EQ(state.romImage, start.romImage);
  EXPECT_EQ(state.channels->edit, start.channels->edit);
  EXPECT_EQ(state.channels->stored, start.channels->stored);
  EXPECT_EQ(state.partHeader, start.partHeader);

  ApplyAfter(state, changes);
  EXPECT_EQ(state.romImage, edited.romImage);
  EXPECT_EQ(state.channels->edit, edited.channels->edit);
  EXPECT_EQ(state.channels->stored, edited.channels->stored);
  EXPECT_EQ(state.partHeader, edited.partHeader);
}

TEST(ByteChanges, NothingChangedGivesNoChanges) {
  EditingState state = SmallState();
  EditSnapshot snapshot;
  TakeSnapshot(state, snapshot);
  state.romImage[7] = 0x07;  // the value it held
  EXPECT_TRUE(ChangesSince(snapshot, state).empty());
}

TEST(ByteChanges, BufferBytesOfAPartNoLongerLoadedAreSkipped) {
  EditingState state = SmallState();
  const std::vector<ByteChange> changes{
      {11, ByteTarget::Image, 0, 1, 2},
      {11, ByteTarget::Edit, 0, 3, 4},
      {41, ByteTarget::Header, 0, 5, 6},
  };
  // Another part: stream 1 elsewhere, another header.
  state.streamPosition[0] = 30;
  state.headerPosition = 50;
  const EditingState other = state;
  ApplyBefore(state, changes);
  EXPECT_EQ(state.romImage[11], 1);
  EXPECT_EQ(state.channels->edit, other.channels->edit);
  EXPECT_EQ(state.partHeader, other.partHeader);

  // No part at all.
  state.channels.reset();
  state.headerPosition = 0;
  ApplyAfter(state, changes);
  EXPECT_EQ(state.romImage[11], 2);
}

TEST(ByteChanges, MergingKeepsTheFirstOldAndTheLastNewValue) {
  std::vector<ByteChange> typed{{40, ByteTarget::Image, 0, 0x1A, 0x02}, {40, ByteTarget::Header, 0, 0x1A, 0x02}};
  const std::vector<ByteChange> next{{40, ByteTarget::Image, 0, 0x02, 0x20}, {41, ByteTarget::Image, 0, 7, 8}};
  MergeChanges(typed, next);
  const std::vector<ByteChange> expected{{40, ByteTarget::Image, 0, 0x1A, 0x20},
                                         {40, ByteTarget::Header, 0, 0x1A, 0x02},
                                         {41, ByteTarget::Image, 0, 7, 8}};
  EXPECT_EQ(typed, expected);

  // Typing back the old value leaves nothing of that byte.
  MergeChanges(typed, std::vector<ByteChange>{{40, ByteTarget::Image, 0, 0x20, 0x1A}});
  EXPECT_EQ(typed.size(), 2u);
  EXPECT_EQ(typed[0].target, ByteTarget::Header);
}

}  // namespace
}  // namespace kestrin
