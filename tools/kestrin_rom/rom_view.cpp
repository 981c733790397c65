#include "rom_view.h"

#include <algorithm>
#include <set>
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
  std::set<std::pair<SongSet, std::int32_t>> headersSeen;
  for (const SongSite& song : Songs()) {
    for (std::int32_t p = song.first; p <= song.last; ++p) {
      PartSite site = Part(song.item->set, p);
      if (headersSeen.insert({site.set, site.headerPosition}).second) parts.push_back(std::move(site));
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
