#pragma once
// One word per byte of a square channel, in the editor's own terms, and
// back: every byte value has exactly one word, and each word reads back to
// its byte.
//
//   C#4, C4+     a note: name and octave; "+" marks the odd byte of the two
//                that share a semitone (C4 is 30, C4+ is 31)
//   rest         7E
//   end          00, the end byte
//   i8:1         a note-properties byte: instrument ("Instr. 8") and note
//                length item ("1"); i8:<0.25, iC:0.75?, iF:>4 and, for the
//                length codes without an item, iA:c13 to iA:c15
//   0x7F, 0x80   the two values left uninterpreted
//
// Reading is forgiving where nothing is lost: letters in either case, the
// "?" of a length item may be left out, c0 to c15 stand for any length
// code, and 0x followed by one or two hexadecimal digits gives any byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrin::rom_tool {

std::string SquareToken(std::uint8_t byte);
std::optional<std::uint8_t> ParseSquareToken(std::string_view token);

// Triangle, Noise and DMC bytes: two hexadecimal digits ("0C"); reading
// takes one or two digits, with or without 0x.
std::string HexToken(std::uint8_t byte);
std::optional<std::uint8_t> ParseHexToken(std::string_view token);

// Why a word that looks like a note is none: "C2" would be the end byte,
// "D#7" the rest, and octaves run from 2 to 7. Nothing when it is no note
// word at all.
std::optional<std::string> WhyNoNote(std::string_view token);

}  // namespace kestrin::rom_tool
