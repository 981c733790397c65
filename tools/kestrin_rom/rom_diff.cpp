#include "rom_diff.h"

#include <algorithm>
#include <map>

#include "rom_view.h"
#include "song_tables.h"
#include "square_events.h"

namespace kestrin::rom_tool {
namespace {

using MusicMap = std::map<std::int32_t, std::vector<ByteRole>>;

void Add(MusicMap& map, std::int32_t offset, const ByteRole& role) {
  auto& roles = map[offset];
  if (std::find(roles.begin(), roles.end(), role) == roles.end()) roles.push_back(role);
}

// The first-part, last-part and loop-part tables lie back to back, 15 bytes
// apart, with index 0 of the first-part table one byte before index 1.
void AddSongTables(MusicMap& map) {
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    const std::int32_t base = LayoutOf(set).songTableBase;
    Add(map, base, {ByteRole::Kind::SongTable, set, 0, 0, 0});
    for (int field = 0; field < 3; ++field) {
      for (std::int32_t index = 1; index <= kHighestSongTableIndex; ++index) {
        Add(map, base + kSongTableStride * field + index, {ByteRole::Kind::SongTable, set, index, field, 0});
      }
    }
  }
}

void AddParts(MusicMap& map, RomView& rom) {
  for (const SongSite& song : rom.Songs()) {
    for (std::int32_t p = song.first; p <= song.last; ++p) {
      Add(map, PartTableEntryPosition(song.item->set, p), {ByteRole::Kind::PartTable, song.item->set, p, 0, 0});
    }
  }
  for (const PartSite& part : rom.ListedParts()) {
    for (int b = 0; b < kPartHeaderSize; ++b) {
      Add(map, part.headerPosition + b, {ByteRole::Kind::PartHeader, part.set, part.part, b, 0});
    }
    if (!part.loaded) continue;
    // A DMC offset of 0 makes stream 5 the part's first byte, which is
    // Square 1's.
    const int streams = part.header[6] == 0 ? kStreamCount - 1 : kStreamCount;
    for (int k = 0; k < streams; ++k) {
      const auto at = static_cast<std::size_t>(k);
      for (std::int32_t i = 0; i < part.length[at]; ++i) {
        Add(map, part.position[at] + i, {ByteRole::Kind::Stream, part.set, part.part, k, i});
      }
    }
  }
}

std::string SetText(SongSet set) { return "set " + std::to_string(static_cast<int>(set)); }

std::string StreamByteText(int stream, std::uint8_t byte) {
  if (stream > 1) return Hex(byte);
  return EventText(DecodeSquareByte(byte, stream == 0 ? Grid::Square1 : Grid::Square2));
}

}  // namespace

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
      return "part table " + SetText(role.set) + " part " + Hex(role.number);
    case ByteRole::Kind::PartHeader:
      return "part header " + SetText(role.set) + " part " + Hex(role.number) + " byte " +
             std::to_string(role.field) + " (" + std::string(kHeaderFieldNames[field]) + ")";
    case ByteRole::Kind::Stream:
      return SetText(role.set) + " part " + Hex(role.number) + " " + std::string(kChannelNames[field]) +
             " byte " + std::to_string(role.index) + ": " + StreamByteText(role.field, before) + " \u2192 " +
             StreamByteText(role.field, after);
  }
  return {};
}

}  // namespace kestrin::rom_tool
