#include "rom_diff.h"

#include <algorithm>
#include <map>

#include "rom_check.h"
#include "rom_view.h"
#include "song_tables.h"
#include "square_events.h"

namespace kestrin::rom_tool {
namespace {

using MusicMap = std::map<std::int32_t, std::vector<ByteRole>>;

void Add(MusicMap& map, std::int32_t offset, const ByteRole& role) {
  auto& roles = map[offset];
  const auto same = std::find_if(roles.begin(), roles.end(), [&](const ByteRole& r) { return r.SamePiece(role); });
  if (same == roles.end()) {
    roles.push_back(role);
    return;
  }
  same->number = std::min(same->number, role.number);
  // A part table byte's line shows one entry before and another after: the
  // line is named once, with the entry it showed first.
  const auto known = [&](const PartPlace& place) {
    return std::any_of(same->places.begin(), same->places.end(), [&](const PartPlace& p) {
      return role.kind == ByteRole::Kind::PartTable ? p.song == place.song && p.line == place.line : p == place;
    });
  };
  for (const PartPlace& place : role.places) {
    if (!known(place)) same->places.push_back(place);
  }
  std::sort(same->places.begin(), same->places.end());
}

// The first-part, last-part and loop-part tables lie back to back, 15 bytes
// apart, with index 0 of the first-part table one byte before index 1.
void AddSongTables(MusicMap& map) {
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    const std::int32_t base = LayoutOf(set).songTableBase;
    Add(map, base, {ByteRole::Kind::SongTable, set, 0, 0, 0, 0, {}});
    for (int field = 0; field < 3; ++field) {
      for (std::int32_t index = 1; index <= kHighestSongTableIndex; ++index) {
        Add(map, base + kSongTableStride * field + index, {ByteRole::Kind::SongTable, set, index, 0, field, 0, {}});
      }
    }
  }
}

void AddParts(MusicMap& map, RomView& rom) {
  for (const SongSite& song : rom.Songs()) {
    for (const PartPlace& place : RomView::Lines(song)) {
      Add(map, PartTableEntryPosition(song.item->set, place.partNumber),
          {ByteRole::Kind::PartTable, song.item->set, place.partNumber, 0, 0, 0, {place}});
    }
  }
  for (const PartSite& part : rom.ListedParts()) {
    std::int32_t lowest = part.part;
    for (const PartPlace& place : part.places) lowest = std::min(lowest, place.partNumber);
    for (int b = 0; b < kPartHeaderSize; ++b) {
      Add(map, part.headerPosition + b,
          {ByteRole::Kind::PartHeader, part.set, lowest, part.headerPosition, b, 0, part.places});
    }
    if (!part.loaded) continue;
    // A DMC offset of 0 makes stream 5 the part's first byte, which is
    // Square 1's.
    const int streams = part.header[6] == 0 ? kStreamCount - 1 : kStreamCount;
    for (int k = 0; k < streams; ++k) {
      const auto at = static_cast<std::size_t>(k);
      for (std::int32_t i = 0; i < part.length[at]; ++i) {
        Add(map, part.position[at] + i,
            {ByteRole::Kind::Stream, part.set, lowest, part.headerPosition, k, i, part.places});
      }
    }
  }
}

std::string SetText(SongSet set) { return "set " + std::to_string(static_cast<int>(set)); }

// The lines that show a part table byte: its entry differs between the
// images when it changed, so each line is named once, without it.
std::string LinesText(const std::vector<PartPlace>& places) {
  std::string text;
  std::vector<std::string> named;
  for (const PartPlace& place : places) {
    std::string line = SongLineText(place.song, place.line);
    if (std::find(named.begin(), named.end(), line) != named.end()) continue;
    text += (named.empty() ? "" : " and ") + line;
    named.push_back(std::move(line));
  }
  return text;
}

std::string StreamByteText(int stream, std::uint8_t byte) {
  if (stream > 1) return Hex(byte);
  return EventText(DecodeSquareByte(byte, stream == 0 ? Grid::Square1 : Grid::Square2));
}

}  // namespace

bool ByteRole::SamePiece(const ByteRole& other) const {
  if (kind != other.kind || set != other.set || field != other.field || index != other.index) return false;
  switch (kind) {
    case Kind::SongTable:
    case Kind::PartTable:
      return number == other.number;
    case Kind::PartHeader:
    case Kind::Stream:
      return headerPosition == other.headerPosition;
  }
  return false;
}

std::vector<ByteChange> DiffRoms(const std::vector<std::uint8_t>& original,
                                 const std::vector<std::uint8_t>& edited) {
  MusicMap map;
  AddSongTables(map);
  RomView before(original);
  RomView after(edited);
  AddParts(map, before);
  AddParts(map, after);

  std::vector<ByteChange> changes;
  const std::size_t size = std::min(original.size(), edited.size());
  for (std::size_t i = 0; i < size; ++i) {
    if (original[i] == edited[i]) continue;
    ByteChange change{static_cast<std::int32_t>(i), original[i], edited[i], {}};
    if (const auto found = map.find(change.offset); found != map.end()) change.roles = found->second;
    changes.push_back(std::move(change));
  }
  return changes;
}

std::string RoleText(const ByteRole& role, std::uint8_t before, std::uint8_t after) {
  const auto field = static_cast<std::size_t>(role.field);
  switch (role.kind) {
    case ByteRole::Kind::SongTable: {
      std::string text = "song table " + SetText(role.set) + " index " + Hex(role.number);
      for (const SongListItem& item : kSongList) {
        if (item.set == role.set && item.tableIndex == role.number) text += " (" + std::string(item.text) + ")";
      }
      return text + " " + std::string(kSongFieldNames[field]);
    }
    case ByteRole::Kind::PartTable:
      return "part list entry of " + LinesText(role.places) + " (part " + Hex(role.number) + ")";
    case ByteRole::Kind::PartHeader:
      return std::string(kHeaderFieldNames[field]) + " (header byte " + std::to_string(role.field) + ") of " +
             PlacesText(role.places);
    case ByteRole::Kind::Stream:
      return std::string(kChannelNames[field]) + " byte " + std::to_string(role.index) + " of " +
             PlacesText(role.places) + ": " + StreamByteText(role.field, before) + " \u2192 " +
             StreamByteText(role.field, after);
  }
  return {};
}

}  // namespace kestrin::rom_tool
