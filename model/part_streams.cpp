#include "part_streams.h"

#include <algorithm>
#include <new>

#include "song_tables.h"
#include "write_path.h"

namespace kestrin {
namespace {

using Image = std::vector<std::uint8_t>;

// Length from `position` up to and including the first zero byte, or
// nothing when the image ends first.
std::optional<std::int32_t> LengthToZero(const Image& image, std::int32_t position) {
  const auto begin = image.begin() + position;
  const auto zero = std::find(begin, image.end(), std::uint8_t{0});
  if (zero == image.end()) return std::nullopt;
  return static_cast<std::int32_t>(zero - begin) + 1;
}

// The buffers still fit the loaded part and every stream lies inside the
// image, so the byte loops below need no further checks.
bool BuffersFitImage(const EditingState& state, const ChannelBuffers& buffers) {
  std::size_t total = 0;
  for (std::size_t k = 0; k < buffers.edit.size(); ++k) {
    const std::size_t length = buffers.edit[k].size();
    const std::int32_t position = state.streamPosition[k];
    if (state.streamLength[k] < 0 || length != static_cast<std::size_t>(state.streamLength[k])) return false;
    if (position < 0 || static_cast<std::size_t>(position) > state.romImage.size() ||
        length > state.romImage.size() - static_cast<std::size_t>(position)) {
      return false;
    }
    total += length;
  }
  return buffers.stored.size() == total;
}

// The image bytes under the part's streams, in part-buffer order.
std::vector<std::uint8_t> ImageUnderStreams(const EditingState& state, const ChannelBuffers& buffers) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(buffers.stored.size());
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto begin = state.romImage.begin() + state.streamPosition[k];
    bytes.insert(bytes.end(), begin, begin + static_cast<std::ptrdiff_t>(buffers.edit[k].size()));
  }
  return bytes;
}

// Records the image stores of the whole write-back: every image byte under
// the streams that now differs from `before` (ImageUnderStreams), once.
void RecordImageStores(EditingState& state, const ChannelBuffers& buffers, const std::vector<std::uint8_t>& before) {
  std::vector<ByteChange> stores;
  std::size_t place = 0;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const std::int32_t base = state.streamPosition[k];
    for (std::size_t i = 0; i < buffers.edit[k].size(); ++i, ++place) {
      const std::uint8_t now = state.romImage[static_cast<std::size_t>(base) + i];
      if (now != before[place])
        stores.push_back({base + static_cast<std::int32_t>(i), ByteTarget::Image, 0, before[place], now});
    }
  }
  // Streams sharing a byte saw the same old and new value there.
  std::sort(stores.begin(), stores.end(),
            [](const ByteChange& a, const ByteChange& b) { return a.position < b.position; });
  stores.erase(std::unique(stores.begin(), stores.end()), stores.end());
  for (const ByteChange& store : stores) RecordChange(state, store);
}

ByteChange BufferChange(const EditingState& state, std::size_t k, std::size_t i, ByteTarget target,
                        std::uint8_t before, std::uint8_t after) {
  return {state.streamPosition[k] + static_cast<std::int32_t>(i), target, static_cast<std::uint8_t>(k), before,
          after};
}

}  // namespace

bool LoadPart(EditingState& state, std::int32_t partNumber) {
  const std::int32_t entryPosition = PartTableEntryPosition(state.songSet, partNumber);
  if (entryPosition < 0 || !HoldsMusicBank(state)) return false;
  const Image& image = state.romImage;
  const SongSetLayout& layout = LayoutOf(state.songSet);

  const std::int32_t headerPosition = layout.headerAreaBase + image[static_cast<std::size_t>(entryPosition)];
  PartHeader header{};
  std::copy_n(image.begin() + headerPosition, header.size(), header.begin());

  const auto address = static_cast<std::uint16_t>(header[1] | header[2] << 8);
  const std::int32_t partStart = NesAddressToFileOffset(address);
  const std::array<std::int32_t, kStreamCount> position{
      partStart, partStart + header[4], partStart + header[3], partStart + header[5],
      header[6] == 0 ? partStart : partStart + header[6]};

  const auto square1Length = LengthToZero(image, position[0]);
  // A DMC offset of 0 means stream 5 is the part's first byte alone.
  const auto dmcLength = header[6] == 0 ? std::optional<std::int32_t>{1} : LengthToZero(image, position[4]);
  if (!square1Length || !dmcLength) return false;

  // The old part's buffers belong to the old positions; keeping them would
  // let a write-back put them at the new ones.
  DropPart(state);
  state.headerPosition = headerPosition;
  state.partHeader = header;
  state.streamPosition = position;
  state.streamLength = {*square1Length, header[3] - header[4], header[5] - header[3], header[6] - header[5],
                        *dmcLength};
  return true;
}

bool CopyChannels(EditingState& state) {
  state.channels.reset();
  state.partLoaded = false;
  const Image& image = state.romImage;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const std::int32_t position = state.streamPosition[k];
    const std::int32_t length = state.streamLength[k];
    if (length < 0 || position < 0) return false;
    if (static_cast<std::size_t>(position) + static_cast<std::size_t>(length) > image.size()) return false;
  }
  try {
    ChannelBuffers buffers;
    buffers.stored.reserve(static_cast<std::size_t>(PartLength(state)));
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      const auto begin = image.begin() + state.streamPosition[k];
      const auto end = begin + state.streamLength[k];
      buffers.edit[k].assign(begin, end);
      buffers.stored.insert(buffers.stored.end(), begin, end);
    }
    state.channels = std::move(buffers);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool WriteBack(EditingState& state) {
  if (!state.channels) return true;
  ChannelBuffers& buffers = *state.channels;
  if (!BuffersFitImage(state, buffers)) return false;
  Image& image = state.romImage;
  const auto offsets = StoredOffsets(buffers);
  // The stores below stay plain byte copies; what they changed is found
  // afterwards, and only when someone records.
  const bool recording = state.record.open > 0;
  const std::vector<std::uint8_t> imageBefore = recording ? ImageUnderStreams(state, buffers) : Image{};

  // Only bytes the user changed are written: bytes the part shares with
  // other data (its header, the part table, another stream) keep what was
  // last put there.
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto base = static_cast<std::size_t>(state.streamPosition[k]);
    for (std::size_t i = 0; i < buffers.edit[k].size(); ++i) {
      if (buffers.edit[k][i] != buffers.stored[offsets[k] + i]) image[base + i] = buffers.edit[k][i];
    }
  }
  if (recording) RecordImageStores(state, buffers, imageBefore);

  // Unchanged bytes that now differ in the image were changed through an
  // overlapping stream or the header fields: the buffer follows the image.
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto base = static_cast<std::size_t>(state.streamPosition[k]);
    for (std::size_t i = 0; i < buffers.edit[k].size(); ++i) {
      std::uint8_t& stored = buffers.stored[offsets[k] + i];
      std::uint8_t& edited = buffers.edit[k][i];
      if (edited != stored) {
        RecordChange(state, BufferChange(state, k, i, ByteTarget::Stored, stored, edited));
        stored = edited;
      } else if (image[base + i] != stored) {
        const std::uint8_t held = image[base + i];
        RecordChange(state, BufferChange(state, k, i, ByteTarget::Stored, stored, held));
        RecordChange(state, BufferChange(state, k, i, ByteTarget::Edit, edited, held));
        stored = edited = held;
      }
    }
  }

  // Two streams sharing a byte and edited to different values: only one
  // value can stand in the image. Everything else is settled now; a byte
  // that failed the check is taken over from the image by the next
  // write-back, so it stays marked.
  std::vector<std::uint32_t> differing;
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto base = static_cast<std::size_t>(state.streamPosition[k]);
    for (std::size_t i = 0; i < buffers.edit[k].size(); ++i) {
      if (image[base + i] != buffers.stored[offsets[k] + i])
        differing.push_back(static_cast<std::uint32_t>(offsets[k] + i));
    }
  }
  buffers.marked = std::move(differing);
  buffers.markedDistinct = buffers.marked.size();
  return buffers.marked.empty();
}

bool WriteBackEdits(EditingState& state) {
  if (!state.channels) return true;
  ChannelBuffers& buffers = *state.channels;
  if (!BuffersFitImage(state, buffers)) return false;
  Image& image = state.romImage;
  const auto offsets = StoredOffsets(buffers);
  // Stream k and index of a place in `stored`.
  auto streamOf = [&offsets](std::uint32_t place) {
    return static_cast<std::size_t>(std::upper_bound(offsets.begin(), offsets.end(), place) - offsets.begin()) - 1;
  };
  auto imagePlace = [&](std::uint32_t place, std::size_t k) {
    return static_cast<std::size_t>(state.streamPosition[k]) + (place - offsets[k]);
  };

  // The same stores as WriteBack, in the same order, so that of two streams
  // sharing an image byte the later one's value stands there.
  std::vector<std::uint32_t>& marked = buffers.marked;
  std::sort(marked.begin(), marked.end());
  marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
  std::vector<std::uint32_t> settle = marked;
  for (const std::uint32_t place : marked) {
    const std::size_t k = streamOf(place);
    const std::uint8_t edited = buffers.edit[k][place - offsets[k]];
    const std::size_t at = imagePlace(place, k);
    if (edited != buffers.stored[place] && image[at] != edited) {
      RecordChange(state, {static_cast<std::int32_t>(at), ByteTarget::Image, 0, image[at], edited});
      image[at] = edited;
    }
    // Stream bytes of other streams at the same image byte follow it below.
    for (std::size_t other = 0; other < kStreamCount; ++other) {
      const auto start = static_cast<std::size_t>(state.streamPosition[other]);
      if (other != k && at >= start && at - start < buffers.edit[other].size())
        settle.push_back(static_cast<std::uint32_t>(offsets[other] + (at - start)));
    }
  }
  if (settle.size() != marked.size()) {
    std::sort(settle.begin(), settle.end());
    settle.erase(std::unique(settle.begin(), settle.end()), settle.end());
  }

  // Every other stream byte equals both its stored copy and the image, as
  // the last write-back left them: WriteBack would not touch it.
  std::vector<std::uint32_t> differing;
  for (const std::uint32_t place : settle) {
    const std::size_t k = streamOf(place);
    const std::size_t i = place - offsets[k];
    std::uint8_t& stored = buffers.stored[place];
    std::uint8_t& edited = buffers.edit[k][i];
    const std::uint8_t held = image[imagePlace(place, k)];
    if (edited != stored) {
      RecordChange(state, BufferChange(state, k, i, ByteTarget::Stored, stored, edited));
      stored = edited;
    } else if (held != stored) {
      RecordChange(state, BufferChange(state, k, i, ByteTarget::Stored, stored, held));
      RecordChange(state, BufferChange(state, k, i, ByteTarget::Edit, edited, held));
      stored = edited = held;
    }
    if (held != stored) differing.push_back(place);
  }
  // A byte that failed the check is taken over from the image by the next
  // write-back, so it stays marked.
  marked = std::move(differing);
  buffers.markedDistinct = marked.size();
  return marked.empty();
}

}  // namespace kestrin
