#pragma once
// Finding the part a command line or a text names, the way the window
// finds it: song list position, GetSongParts, then part number first part +
// line - 1; or a raw part number of a set.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "part_text.h"
#include "rom_view.h"

namespace kestrin::rom_tool {

struct ChosenPart {
  SongSet set = SongSet::One;
  std::int32_t part = 0;
  std::optional<PartPlace> place;  // when named by song and line
  std::vector<PartPlace> places;   // every line of the song list that loads its header
  PartSite site;

  // "song 01, line 2 (entry E, part 1)" or "set 1 part 6 (entry 7)"
  std::string Name() const;
};

// The part, or why there is none: a line the song's part list does not
// have, or a part number past the set's part table.
std::variant<ChosenPart, std::string> ChoosePart(RomView& rom, const PartAddress& address);

}  // namespace kestrin::rom_tool
