#pragma once
// What `kestrin-rom diff` says about each changed byte: which piece of the
// music data it belongs to, read from both images (an edit may move what
// the other image points at).

#include <cstdint>
#include <string>
#include <vector>

#include "music_bank.h"

namespace kestrin::rom_tool {

struct ByteRole {
  enum class Kind : std::uint8_t { SongTable, PartTable, PartHeader, Stream };
  Kind kind = Kind::SongTable;
  SongSet set = SongSet::One;
  std::int32_t number = 0;  // song table index, or part number
  int field = 0;            // song table: 0 first, 1 last, 2 loop; header byte 0 to 6; stream 0 to 4
  std::int32_t index = 0;   // place of the byte in its stream

  bool operator==(const ByteRole&) const = default;
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
// "set 1 part 2 Square 1 byte 5: C4 -> D4", ...
std::string RoleText(const ByteRole& role, std::uint8_t before, std::uint8_t after);

}  // namespace kestrin::rom_tool
