// Runs the data layer as the editor would on an arbitrary ROM image and
// checks every write-back against a shadow image of its own: the stream
// positions are worked out here from the header bytes and the address
// mapping, each edit is applied to the shadow, and after every write-back
// the whole image must equal the shadow. A write-back may fail only where
// two streams share an edited byte and were given different values there.
//
// Input: kControlSize control bytes, then the image (padded with zeros or
// cut to the ROM size). AddressSanitizer catches any read or write outside
// the image.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>
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

using Image = std::vector<std::uint8_t>;

// Where the game's engine finds the five streams of a part, worked out from
// the image alone: the part table entry gives the header, the header's
// address (low 13 bits, into the bank at 0x38010) the part start, and its
// offsets the other streams; streams 1 and 5 run to their first zero byte.
struct PartModel {
  std::array<std::size_t, kStreamCount> position{};
  std::array<long, kStreamCount> length{};

  bool Copyable() const {
    return std::all_of(length.begin(), length.end(), [](long l) { return l >= 0; });
  }
};

std::optional<long> LengthToZero(const Image& image, std::size_t from) {
  for (std::size_t at = from; at < image.size(); ++at) {
    if (image[at] == 0) return static_cast<long>(at - from + 1);
  }
  return std::nullopt;
}

std::optional<PartModel> ModelPart(const Image& image, SongSet set, std::int32_t part) {
  if (part < 0 || part > 255) return std::nullopt;
  const std::size_t partTable = set == SongSet::One ? 0x38750 : 0x39410;
  const std::size_t headerArea = set == SongSet::One ? 0x3877C : 0x3943D;
  const std::size_t header = headerArea + image[partTable + static_cast<std::size_t>(part)];
  const auto byte = [&](std::size_t i) { return static_cast<std::size_t>(image[header + i]); };
  const std::size_t start = ((byte(2) << 8 | byte(1)) & 0x1FFF) + 0x38010;

  PartModel model;
  model.position = {start, start + byte(4), start + byte(3), start + byte(5),
                    byte(6) == 0 ? start : start + byte(6)};
  const auto first = LengthToZero(image, start);
  const auto last = byte(6) == 0 ? std::optional<long>{1} : LengthToZero(image, model.position[4]);
  if (!first || !last) return std::nullopt;
  const auto difference = [](std::size_t a, std::size_t b) { return static_cast<long>(a) - static_cast<long>(b); };
  model.length = {*first, difference(byte(3), byte(4)), difference(byte(5), byte(3)),
                  difference(byte(6), byte(5)), *last};
  return model;
}

void CheckImageIsShadow(const EditingState& state, const Image& shadow, const char* what) {
  Check(state.romImage.size() == shadow.size(), "the image changed its size");
  Check(std::memcmp(state.romImage.data(), shadow.data(), shadow.size()) == 0, what);
}

// Every edit buffer holds what the image holds at its stream's position.
void CheckBuffersFollowImage(const EditingState& state, const PartModel& model) {
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto& buffer = state.channels->edit[k];
    Check(std::equal(buffer.begin(), buffer.end(),
                     state.romImage.begin() + static_cast<std::ptrdiff_t>(model.position[k])),
          "an edit buffer differs from the image after a write-back");
  }
}

// Makes a few edits to the two square buffers, applies them to `shadow`
// and checks the write-back against it.
void EditAndWriteBack(EditingState& state, const PartModel& model, Choices& choices, Image& shadow) {
  const auto lengths = state.streamLength;
  const auto before = state.channels->edit;

  const int edits = choices.Next() % 6;
  for (int e = 0; e < edits; ++e) {
    const std::size_t stream = (choices.Next() & 1) != 0 ? kSquare2Stream : kSquare1Stream;
    auto& buffer = state.channels->edit[stream];
    if (buffer.empty()) continue;
    const std::size_t at = (static_cast<std::size_t>(choices.Next()) << 8 | choices.Next()) % buffer.size();
    buffer[at] = choices.Next();
  }

  // The values each image byte is given by the edited buffers.
  std::map<std::size_t, std::vector<std::uint8_t>> written;
  for (const std::size_t stream : {std::size_t{kSquare1Stream}, std::size_t{kSquare2Stream}}) {
    const auto& buffer = state.channels->edit[stream];
    for (std::size_t i = 0; i < buffer.size(); ++i) {
      if (buffer[i] != before[stream][i]) written[model.position[stream] + i].push_back(buffer[i]);
    }
  }
  bool conflict = false;
  for (const auto& [at, values] : written) {
    const std::uint8_t firstValue = values.front();
    const bool agree =
        std::all_of(values.begin(), values.end(), [firstValue](std::uint8_t v) { return v == firstValue; });
    conflict = conflict || !agree;
    if (agree) shadow[at] = firstValue;
  }

  const bool stored = WriteBack(state);
  Check(state.streamLength == lengths, "a stream length changed");
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    Check(state.channels->edit[k].size() == static_cast<std::size_t>(lengths[k]),
          "an edit buffer changed its length");
  }
  Check(stored || conflict, "a write-back failed without two edits clashing at one byte");
  Check(!stored || !conflict, "a write-back succeeded though two edits clash at one byte");
  if (conflict) {
    // One of the clashing values stands in the image; which one is the
    // write-back's choice.
    for (const auto& [at, values] : written) {
      Check(std::find(values.begin(), values.end(), state.romImage[at]) != values.end(),
            "a byte edited through two streams holds neither value");
      shadow[at] = state.romImage[at];
    }
  }
  CheckImageIsShadow(state, shadow, "the image differs from the edits made (shadow image)");

  // A second write-back with nothing new changes nothing, and leaves every
  // buffer showing the image.
  Check(WriteBack(state), "a write-back without edits failed");
  CheckImageIsShadow(state, shadow, "a write-back without edits changed the image");
  CheckBuffersFollowImage(state, model);
}

void RunSong(EditingState& state, SongSet set, std::int32_t index, Choices& choices, Image& shadow) {
  state.songSet = set;
  if (!GetSongParts(state, set, index)) {
    Check(set == SongSet::One && state.lastPart - state.firstPart <= -3, "GetSongParts failed for a readable song");
    return;
  }
  const auto expected = std::max(0, state.lastPart - state.firstPart + 1);
  Check(state.songPartList.size() == static_cast<std::size_t>(expected), "wrong song part list length");
  if (state.songPartList.empty()) return;

  const std::size_t row = choices.Next() % state.songPartList.size();
  const std::int32_t part = state.firstPart + static_cast<std::int32_t>(row);
  const std::optional<PartModel> model = ModelPart(shadow, set, part);
  const bool loaded = LoadPart(state, part);
  Check(loaded == model.has_value(), "the part loader disagrees on whether the part can be read");
  if (!loaded) return;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    Check(static_cast<std::size_t>(state.streamPosition[k]) == model->position[k], "a stream position is wrong");
    Check(state.streamLength[k] == model->length[k], "a stream length is wrong");
  }
  const bool copied = CopyChannels(state);
  Check(copied == model->Copyable(), "the channel copy disagrees on whether the part can be copied");
  if (!copied) {
    Check(!state.channels.has_value(), "a failed channel copy left buffers behind");
    return;
  }
  CheckBuffersFollowImage(state, *model);
  EditAndWriteBack(state, *model, choices, shadow);
  EditAndWriteBack(state, *model, choices, shadow);
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

  Image shadow = state.romImage;
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    for (std::int32_t index = 0; index <= kHighestSongTableIndex; ++index) {
      RunSong(state, set, index, choices, shadow);
    }
  }
  Release(state);
  return 0;
}
