#pragma once
// What `kestrin-rom check` looks for: every song of the song list and every
// part it lists, read as the editor reads them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rom_view.h"

namespace kestrin::rom_tool {

enum class ProblemKind : std::uint8_t {
  NoInesHeader,     // the file does not begin with "NES" 0x1A
  SongOrder,        // first above last part, or loop part outside them
  PastPartTable,    // a song lists part numbers beyond its set's part table
  AddressOutside,   // a part address where the NES sees no program bank
  PartNotLoadable,  // the editor refuses to copy its channels
  MissingEndByte,   // Square 1 or DMC has no zero byte inside the music bank
  StreamsOverlap,   // two streams share bytes (of one part, or of two)
  OutsideMusicBank, // a stream reaches past the music bank
};

struct Problem {
  ProblemKind kind;
  std::string text;  // one line, without the line feed
  std::vector<PartPlace> places;  // the lines of the song list it concerns
};

std::string_view ProblemKindName(ProblemKind kind);

std::vector<Problem> CheckRom(RomView& rom);

// "song 01, line 1 (entry 7, part 0) and song 07, line 1 (entry 7, part 6)"
std::string PlacesText(const std::vector<PartPlace>& places);

}  // namespace kestrin::rom_tool
