#pragma once
// What `kestrin-rom diff` says about each changed byte: which piece of the
// music data it belongs to, and which lines of the song list reach it, read
// from both images (an edit may move what the other image points at).

#include <cstdint>
#include <string>
#include <vector>

#include "music_bank.h"
#include "part_places.h"

namespace kestrin::rom_tool {

struct ByteRole {
  enum class Kind : std::uint8_t { SongTable, PartTable, PartHeader, Stream };
  Kind kind = Kind::SongTable;
  SongSet set = SongSet::One;
  // Song table: the song table index. Part table: the part number. Header
  // and stream: the lowest part number that loads the header.
  std::int32_t number = 0;
  std::int32_t headerPosition = 0;  // header and stream bytes: whose header
  int field = 0;            // song table: 0 first, 1 last, 2 loop; header byte 0 to 6; stream 0 to 4
  std::int32_t index = 0;   // place of the byte in its stream
  // Part table, header and stream bytes: every line of the song list that
  // reaches the byte, in either image.
  std::vector<PartPlace> places;

  // The same piece of data, whoever reaches it.
  bool SamePiece(const ByteRole& other) const;
};

struct ByteChange {
  std::int32_t offset = 0;
  std::uint8_t before = 0;
  std::uint8_t after = 0;
  std::vector<ByteRole> roles;  // empty: outside the music data

  bool Outside() const { return roles.empty(); }
};

// Every byte that differs between two images of one size, in file order.
std::vector<ByteChange> DiffRoms(const std::vector<std::uint8_t>& original,
                                 const std::vector<std::uint8_t>& edited);

// "song table set 1 index 3 (03-River Crossing) last part",
// "part list entry of song 01, line 2 (part 1)",
// "Tempo (header byte 0) of song 01, line 1 (entry 7, part 0)",
// "Square 1 byte 5 of song 01, line 1 (entry 7, part 0): G4 → C4"
std::string RoleText(const ByteRole& role, std::uint8_t before, std::uint8_t after);

}  // namespace kestrin::rom_tool
