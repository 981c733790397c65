// The write-back of one edit's marked bytes leaves the image and the buffers
// exactly as the write-back that compares every stream byte, on parts whose
// streams share bytes, with edits that clash and image bytes changed behind
// the buffers' back. On the same parts, the write path records exactly what
// a comparison finds changed, and undoing and redoing the record gives
// both states back.

#include <gtest/gtest.h>

#include <random>

#include "byte_changes.h"
#include "edit_snapshot.h"
#include "music_bank.h"
#include "part_streams.h"
#include "write_path.h"

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
  // The header copy; now and then its bytes lie inside the streams.
  state.headerPosition = start - 7 + static_cast<std::int32_t>(rng() % 12);
  std::copy_n(state.romImage.begin() + state.headerPosition, kPartHeaderSize, state.partHeader.begin());
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
        SetStreamByte(marked, static_cast<int>(k), i, value);
        whole.channels->edit[k][i] = value;
      }
      if (rng() % 6 == 0) {
        // A header field written over a stream byte.
        const std::int32_t at = marked.streamPosition[rng() % kStreamCount];
        const auto value = static_cast<std::uint8_t>(rng() % 4);
        SetImageByte(marked, at, value);
        whole.romImage[static_cast<std::size_t>(at)] = value;
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
  // A byte changed around the write path is not this write-back's to find.
  const std::uint8_t first = state.channels->edit[0][0];
  state.channels->edit[0][0] = static_cast<std::uint8_t>(first + 1);
  EXPECT_TRUE(WriteBackEdits(state));
  EXPECT_TRUE(state.romImage == image);
  SetStreamByte(state, 0, 0, static_cast<std::uint8_t>(first + 2));
  EXPECT_TRUE(WriteBackEdits(state));
  EXPECT_EQ(state.romImage[static_cast<std::size_t>(state.streamPosition[0])], first + 2);
}

TEST(WritePath, RecordsWhatChangedAndTakesItBackAndAgain) {
  std::mt19937 rng(2012);
  EditSnapshot before;
  EditSnapshot after;
  for (int part = 0; part < 80; ++part) {
    EditingState state = RandomPart(rng);
    for (int round = 0; round < 20; ++round) {
      SCOPED_TRACE(::testing::Message() << "part " << part << ", round " << round);
      TakeSnapshot(state, before);
      std::vector<ByteChange> recorded;
      {
        Recording recording(state);
        for (int op = static_cast<int>(rng() % 5); op >= 0; --op) {
          const auto value = static_cast<std::uint8_t>(rng() % 4);
          const auto k = static_cast<std::size_t>(rng() % kStreamCount);
          switch (rng() % 5) {
            case 0:
            case 1:
              SetStreamByte(state, static_cast<int>(k), rng() % state.channels->edit[k].size(), value);
              break;
            case 2: {  // a header box: image and copy
              const auto byte = static_cast<int>(rng() % kPartHeaderSize);
              SetImageByte(state, state.headerPosition + byte, value);
              SetHeaderCopyByte(state, byte, value);
              break;
            }
            case 3:
              WriteBackEdits(state);
              break;
            default:
              WriteBack(state);
          }
        }
        recorded = NetChanges(recording.Changes());
      }
      ASSERT_TRUE(state.record.changes.empty()) << "nothing is kept once no recording is open";
      ASSERT_EQ(recorded, NetChanges(ChangesSince(before, state)));
      TakeSnapshot(state, after);
      ApplyBefore(state, recorded);
      ASSERT_TRUE(ChangesSince(before, state).empty());
      ApplyAfter(state, recorded);
      ASSERT_TRUE(ChangesSince(after, state).empty());
    }
  }
}

// An edit stored by a later step's write-back, and that step undone: what
// the step changed in the part buffer and the image goes back, the edit
// stays, so the next write-back must store it again, as the write-back that
// compares every byte does.
TEST(WritePath, AnUndoneStoreIsStoredAgainByTheNextWriteBack) {
  std::mt19937 rng(2026);
  for (int part = 0; part < 40; ++part) {
    SCOPED_TRACE(::testing::Message() << "part " << part);
    EditingState state = RandomPart(rng);
    const auto k = static_cast<std::size_t>(rng() % kStreamCount);
    const std::size_t index = rng() % state.channels->edit[k].size();
    const auto value = static_cast<std::uint8_t>((state.channels->edit[k][index] + 1) % 4);
    SetStreamByte(state, static_cast<int>(k), index, value);
    // Half the time the image byte already holds it (a header box wrote
    // it): then the write-back changes the part buffer alone.
    if (part % 2 == 0) SetImageByte(state, state.streamPosition[k] + static_cast<std::int32_t>(index), value);
    std::vector<ByteChange> stored;
    {
      Recording recording(state);
      WriteBackEdits(state);
      stored = NetChanges(recording.Changes());
    }
    ApplyBefore(state, stored);
    EditingState whole = state;
    WriteBack(whole);
    WriteBackEdits(state);
    EXPECT_EQ(state.romImage, whole.romImage);
    EXPECT_EQ(state.channels->stored, whole.channels->stored);
    EXPECT_EQ(state.channels->edit, whole.channels->edit);
  }
}

}  // namespace
}  // namespace kestrin
