#include "song_list.h"

namespace kestrin {

std::optional<SongChoice> SongAtPosition(int position) {
  if (position < 0) return SongChoice{SongSet::One, 0, 0};
  if (static_cast<std::size_t>(position) >= kSongList.size()) return std::nullopt;
  const SongListItem& item = kSongList[static_cast<std::size_t>(position)];
  return SongChoice{item.set, item.tableIndex, position + 1};
}

}  // namespace kestrin
