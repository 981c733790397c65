#include "song_tables.h"

#include <new>

namespace kestrin {
namespace {

constexpr std::int32_t kHighestPartNumber = 255;

std::int32_t ByteAt(const EditingState& state, std::int32_t offset) {
  return state.romImage[static_cast<std::size_t>(offset)];
}

}  // namespace

bool HoldsMusicBank(const EditingState& state) {
  return state.romImage.size() > static_cast<std::size_t>(kMusicBankLast);
}

std::int32_t PartTableEntryPosition(SongSet set, std::int32_t partNumber) {
  if (partNumber < 0 || partNumber > kHighestPartNumber) return -1;
  return LayoutOf(set).partTable + partNumber;
}

bool GetSongParts(EditingState& state, SongSet set, std::int32_t index) {
  if (index < 0 || index > kHighestSongTableIndex || !HoldsMusicBank(state)) return false;
  const SongSetLayout& layout = LayoutOf(set);

  state.firstPartPosition = layout.songTableBase + index;
  state.lastPartPosition = layout.songTableBase + kSongTableStride + index;
  state.loopPartPosition = layout.songTableBase + 2 * kSongTableStride + index;
  state.firstPart = ByteAt(state, state.firstPartPosition);
  state.lastPart = ByteAt(state, state.lastPartPosition);
  state.loopPart = ByteAt(state, state.loopPartPosition);
  std::vector<std::int32_t>().swap(state.songPartList);

  // The game's own reader for set 1 reserves one spare entry, so only a
  // last part three or more below the first leaves it no room at all.
  const std::int32_t span = state.lastPart - state.firstPart;
  if (set == SongSet::One && span + 2 < 0) return false;

  try {
    std::vector<std::int32_t> list;
    if (span >= 0) list.reserve(static_cast<std::size_t>(span) + 1);
    for (std::int32_t k = 0; k <= span; ++k) {
      list.push_back(ByteAt(state, PartTableEntryPosition(set, state.firstPart + k)));
    }
    state.songPartList = std::move(list);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace kestrin
