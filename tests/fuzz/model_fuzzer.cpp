// Runs the data layer as the editor would on an arbitrary ROM image and
// checks, after every write-back, that nothing outside the loaded part's
// streams changed and every edit reached the image.
//
// Input: kControlSize control bytes, then the image (padded with zeros or
// cut to the ROM size). AddressSanitizer catches any read or write outside
// the image.

#include <algorithm>
#include <random>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "editing_state.h"
#include "music_bank.h"
#include "part_streams.h"
#include "song_tables.h"

namespace {

using namespace kestrin;

constexpr std::size_t kControlSize = 16;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// A cycling reader over the control bytes: each choice takes the next one.
class Choices {
 public:
  explicit Choices(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint8_t Next() {
    const std::uint8_t value = bytes_[next_ % bytes_.size()];
    next_ += 1;
    return static_cast<std::uint8_t>(value ^ static_cast<std::uint8_t>(next_ / bytes_.size()));
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

// Every byte outside the streams is as it was before the write-back.
void CheckOutsideStreamsUnchanged(const EditingState& state, const std::vector<std::uint8_t>& before) {
  Check(state.romImage.size() == before.size(), "image size changed");
  struct Range {
    std::size_t begin, end;
  };
  std::vector<Range> streams;
  for (int k = 0; k < kStreamCount; ++k) {
    const auto length = state.streamLength[static_cast<std::size_t>(k)];
    if (length <= 0) continue;
    const auto begin = static_cast<std::size_t>(state.streamPosition[static_cast<std::size_t>(k)]);
    streams.push_back({begin, std::min(before.size(), begin + static_cast<std::size_t>(length))});
  }
  std::sort(streams.begin(), streams.end(), [](Range a, Range b) { return a.begin < b.begin; });
  std::size_t from = 0;
  for (const Range& r : streams) {
    if (r.begin > from) {
      Check(std::memcmp(before.data() + from, state.romImage.data() + from, r.begin - from) == 0,
            "a byte outside the part's streams changed");
    }
    from = std::max(from, r.end);
  }
  if (from < before.size()) {
    Check(std::memcmp(before.data() + from, state.romImage.data() + from, before.size() - from) == 0,
          "a byte outside the part's streams changed");
  }
}

// Copies the bytes of the loaded part's streams from the image into
// `shadow`, the only bytes a write-back may have changed.
void FollowStreams(const EditingState& state, std::vector<std::uint8_t>& shadow) {
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    if (state.streamLength[k] <= 0) continue;
    const auto begin = static_cast<std::size_t>(state.streamPosition[k]);
    const auto length = static_cast<std::size_t>(state.streamLength[k]);
    std::copy_n(state.romImage.begin() + static_cast<std::ptrdiff_t>(begin), length,
                shadow.begin() + static_cast<std::ptrdiff_t>(begin));
  }
}

// `shadow` holds the image as it stood before this write-back.
void EditAndWriteBack(EditingState& state, Choices& choices, std::vector<std::uint8_t>& shadow) {
  const auto lengths = state.streamLength;
  const auto partLength = PartLength(state);
  const std::vector<std::uint8_t>& before = shadow;

  const int edits = choices.Next() % 6;
  for (int e = 0; e < edits; ++e) {
    const std::size_t stream = (choices.Next() & 1) != 0 ? kSquare2Stream : kSquare1Stream;
    auto& buffer = state.channels->edit[stream];
    if (buffer.empty()) continue;
    const std::size_t at = (static_cast<std::size_t>(choices.Next()) << 8 | choices.Next()) % buffer.size();
    buffer[at] = choices.Next();
  }

  const bool stored = WriteBack(state);
  Check(state.streamLength == lengths, "a stream length changed");
  Check(PartLength(state) == partLength, "the part length changed");
  for (int k = 0; k < kStreamCount; ++k) {
    Check(state.channels->edit[static_cast<std::size_t>(k)].size() ==
              static_cast<std::size_t>(lengths[static_cast<std::size_t>(k)]),
          "an edit buffer changed its length");
  }
  CheckOutsideStreamsUnchanged(state, before);
  if (!stored) {  // overlapping streams edited to different values
    FollowStreams(state, shadow);
    return;
  }

  // Every byte of the two edited buffers now stands in the image, unless
  // another stream overlapping it was edited to a different value (then the
  // write-back would have failed its check).
  for (const std::size_t stream : {static_cast<std::size_t>(kSquare1Stream), static_cast<std::size_t>(kSquare2Stream)}) {
    const auto& buffer = state.channels->edit[stream];
    const auto position = static_cast<std::size_t>(state.streamPosition[stream]);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
      if (buffer[i] != before[position + i]) {
        Check(state.romImage[position + i] == buffer[i], "an edit is missing from the image");
      }
    }
  }

  // A second write-back with nothing new changes nothing.
  FollowStreams(state, shadow);
  Check(WriteBack(state), "a write-back without edits failed");
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    if (state.streamLength[k] <= 0) continue;
    const auto begin = static_cast<std::size_t>(state.streamPosition[k]);
    Check(std::memcmp(state.romImage.data() + begin, shadow.data() + begin,
                      static_cast<std::size_t>(state.streamLength[k])) == 0,
          "a write-back without edits changed the image");
  }
}

void RunSong(EditingState& state, SongSet set, std::int32_t index, Choices& choices,
             std::vector<std::uint8_t>& shadow) {
  state.songSet = set;
  if (!GetSongParts(state, set, index)) {
    Check(set == SongSet::One && state.lastPart - state.firstPart <= -3, "GetSongParts failed for a readable song");
    return;
  }
  const auto expected = std::max(0, state.lastPart - state.firstPart + 1);
  Check(state.songPartList.size() == static_cast<std::size_t>(expected), "wrong song part list length");
  if (state.songPartList.empty()) return;

  const std::size_t row = choices.Next() % state.songPartList.size();
  if (!LoadPart(state, state.firstPart + static_cast<std::int32_t>(row))) return;
  for (int k = 0; k < kStreamCount; ++k) {
    const auto length = state.streamLength[static_cast<std::size_t>(k)];
    const auto position = state.streamPosition[static_cast<std::size_t>(k)];
    Check(position >= 0 && position < kRomSize, "a stream position lies outside the image");
    if (length > 0) Check(position + length <= kRomSize, "a stream runs past the image end");
  }
  if (!CopyChannels(state)) {
    Check(!state.channels.has_value(), "a failed channel copy left buffers behind");
    return;
  }
  EditAndWriteBack(state, choices, shadow);
  EditAndWriteBack(state, choices, shadow);
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

// libFuzzer's own insertions and erasures would shift every table of the
// image to another offset, so mutations work in place on one region at a
// time: the control bytes, the music bank (most of the time), or the stretch
// from the bank to the image end where long streams run.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                              unsigned int seed) {
  const std::size_t full = kControlSize + static_cast<std::size_t>(kRomSize);
  if (maxSize < full) return LLVMFuzzerMutate(data, size, maxSize);
  if (size < full) std::fill(data + size, data + full, std::uint8_t{0});

  const std::size_t bank = kControlSize + static_cast<std::size_t>(kMusicBankFirst);
  const std::size_t bankLength = static_cast<std::size_t>(kMusicBankLast - kMusicBankFirst + 1);
  std::minstd_rand random(seed);
  const unsigned pick = static_cast<unsigned>(random() % 8);
  const std::size_t begin = pick == 0 ? 0 : bank;
  const std::size_t length = pick == 0 ? kControlSize : pick == 7 ? full - bank : bankLength;

  std::vector<std::uint8_t> region(data + begin, data + begin + length);
  const std::size_t mutated = LLVMFuzzerMutate(region.data(), region.size(), region.size());
  std::copy_n(region.begin(), std::min(mutated, length), data + begin);
  return full;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kControlSize) return 0;
  Choices choices({data, kControlSize});

  EditingState state;
  state.romImage.assign(static_cast<std::size_t>(kRomSize), 0);
  std::copy_n(data + kControlSize, std::min(size - kControlSize, state.romImage.size()), state.romImage.begin());
  state.romSize = kRomSize;
  state.fileLoaded = true;

  std::vector<std::uint8_t> shadow = state.romImage;
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    for (std::int32_t index = 0; index <= kHighestSongTableIndex; ++index) {
      RunSong(state, set, index, choices, shadow);
    }
  }
  Release(state);
  return 0;
}
