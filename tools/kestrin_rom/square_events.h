#pragma once
// Square channel bytes in words, through the channel byte rules: note names
// with octave, rests, note-properties bytes and the end byte.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "channel_bytes.h"

namespace kestrin::rom_tool {

struct SquareEvent {
  std::size_t index = 0;  // place in the stream
  std::uint8_t byte = 0;
  ByteKind kind = ByteKind::Other;
  std::string note;            // notes: "C#4"
  int instrument = 0;          // note-properties bytes: 8 to F
  int lengthCode = 0;          // note-properties bytes: 0 to 15
  double duration = 0;         // note-properties bytes: units of the note length in this grid
};

SquareEvent DecodeSquareByte(std::uint8_t byte, Grid grid, std::size_t index = 0);
std::vector<SquareEvent> DecodeSquareStream(std::span<const std::uint8_t> stream, Grid grid);

// One short text per byte: "C#4", "rest", "end", "props 84 (Instr. 8,
// length 4, duration 1)", "7F (not interpreted)".
std::string EventText(const SquareEvent& event);

// The name of a kind as the JSON output gives it: "note", "rest",
// "properties", "end", "other".
std::string_view KindName(ByteKind kind);

// "%X" of the editor: upper case, no leading zeros.
std::string Hex(std::int64_t value);
// Two upper-case digits, as the header boxes show a byte: "0C", "A1".
std::string HexByte(std::uint8_t value);
// "0x%X" for file offsets.
std::string Offset(std::int64_t value);
// A duration factor without trailing zeros: "0.25", "1", "1.5".
std::string DurationText(double factor);

}  // namespace kestrin::rom_tool
