#pragma once
// A part as plain text and back: the line of the song list (or the raw part
// number) that names it, its 7 header bytes, and its five channels with one
// word per byte (byte_tokens.h). Text after ";" is a comment. README.md of
// this folder shows the format.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "editing_state.h"
#include "music_bank.h"

namespace kestrin::rom_tool {

// How a command line or a text names a part: as the window does, by a song
// of the song list and a line of its part list, or by set and part number.
struct PartAddress {
  enum class Form : std::uint8_t { SongLine, SetPart };
  Form form = Form::SongLine;
  std::size_t song = 0;    // position in the song list
  std::int32_t line = 0;   // 1 for the top line
  SongSet set = SongSet::One;
  std::int32_t part = 0;
};

// Where in a text: both counted from 1; a column counts bytes.
struct TextSpot {
  int line = 0;
  int column = 0;
  friend auto operator<=>(const TextSpot&, const TextSpot&) = default;
};

struct TextByte {
  std::uint8_t value = 0;
  TextSpot spot;
};

// The words that open the channel sections, in stream order.
inline constexpr std::array<std::string_view, kStreamCount> kSectionWords{"square1", "square2", "triangle",
                                                                          "noise", "dmc"};

struct PartText {
  PartAddress address;
  TextSpot addressSpot;
  std::vector<TextByte> header;  // exactly 7
  std::array<std::vector<TextByte>, kStreamCount> streams;
  // Just after the last byte of each section (after its word when empty),
  // where a byte that is missing would have had to be.
  std::array<TextSpot, kStreamCount> streamEnd{};
};

struct TextError {
  TextSpot spot;
  std::string message;
};

// Reads a text; the first thing wrong with it, in text order, otherwise.
std::variant<PartText, TextError> ParsePartText(std::string_view text);

// What a text that names the part by `address` holds. `about` is the
// comment under the address ("entry E, part 1, set 1").
struct PartForText {
  PartAddress address;
  std::string about;
  PartHeader header{};
  std::array<std::int32_t, kStreamCount> position{};
  std::array<std::vector<std::uint8_t>, kStreamCount> streams;
};

std::string FormatPartText(const PartForText& part);

}  // namespace kestrin::rom_tool
