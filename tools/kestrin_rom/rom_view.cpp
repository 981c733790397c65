#include "rom_view.h"

#include <algorithm>
#include <map>
#include <utility>

#include "part_streams.h"
#include "song_tables.h"

namespace kestrin::rom_tool {

RomView::RomView(std::vector<std::uint8_t> image) {
  state_.romSize = static_cast<std::int32_t>(image.size());
  state_.romImage = std::move(image);
  state_.fileLoaded = true;
}

SongSite RomView::Song(std::size_t listPosition) {
  SongSite site;
  site.listPosition = listPosition;
  site.item = &kSongList.at(listPosition);
  state_.songSet = site.item->set;
  site.listRead = GetSongParts(state_, site.item->set, site.item->tableIndex);
  site.first = state_.firstPart;
  site.last = state_.lastPart;
  site.loop = state_.loopPart;
  site.partList = state_.songPartList;
  return site;
}

std::vector<SongSite> RomView::Songs() {
  std::vector<SongSite> songs;
  for (std::size_t k = 0; k < kSongList.size(); ++k) songs.push_back(Song(k));
  return songs;
}

std::vector<PartPlace> RomView::Lines(const SongSite& song) {
  std::vector<PartPlace> lines;
  for (std::size_t k = 0; k < song.partList.size(); ++k) {
    const auto line = static_cast<std::int32_t>(k);
    lines.push_back({song.listPosition, line + 1, song.partList[k], song.first + line});
  }
  return lines;
}

std::vector<PartPlace> RomView::PlacesOf(SongSet set, std::int32_t part) {
  const std::int32_t entryPosition = PartTableEntryPosition(set, part);
  if (entryPosition < 0) return {};
  const std::int32_t entry = Image()[static_cast<std::size_t>(entryPosition)];
  std::vector<PartPlace> places;
  for (const SongSite& song : Songs()) {
    if (song.item->set != set) continue;
    for (const PartPlace& place : Lines(song)) {
      if (place.entry == entry) places.push_back(place);
    }
  }
  return places;
}

PartSite RomView::Part(SongSet set, std::int32_t part) {
  PartSite site;
  site.set = set;
  site.part = part;
  site.entryPosition = PartTableEntryPosition(set, part);
  if (site.entryPosition < 0) return site;
  site.headerPosition = LayoutOf(set).headerAreaBase + Image()[static_cast<std::size_t>(site.entryPosition)];
  std::copy_n(Image().begin() + site.headerPosition, kPartHeaderSize, site.header.begin());
  state_.songSet = set;
  site.loaded = LoadPart(state_, part);
  if (site.loaded) {
    site.position = state_.streamPosition;
    site.length = state_.streamLength;
    site.channelsCopied = CopyChannels(state_);
  }
  return site;
}

std::vector<PartSite> RomView::ListedParts() {
  std::vector<PartSite> parts;
  std::map<std::pair<SongSet, std::int32_t>, std::size_t> byHeader;
  for (const SongSite& song : Songs()) {
    // Lines are the read part list: a song whose list cannot be read has
    // none, as in the window.
    for (const PartPlace& place : Lines(song)) {
      const SongSet set = song.item->set;
      const std::int32_t header = LayoutOf(set).headerAreaBase + place.entry;
      const auto [found, added] = byHeader.insert({{set, header}, parts.size()});
      if (added) parts.push_back(Part(set, place.partNumber));
      parts[found->second].places.push_back(place);
    }
  }
  return parts;
}

std::vector<std::uint8_t> RomView::StreamBytes(const PartSite& site, int k) const {
  const auto index = static_cast<std::size_t>(k);
  if (!site.loaded || site.length[index] < 0) return {};
  const auto begin = Image().begin() + site.position[index];
  return {begin, begin + site.length[index]};
}

}  // namespace kestrin::rom_tool
