#pragma once
// What each byte of a square channel stream means: the only place in the
// program that interprets channel bytes. Pure functions, no state.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrin {

enum class ByteKind : std::uint8_t { Other = 0, Property = 1, Note = 2, Silence = 3, End = 4 };

enum class Grid : std::uint8_t { Square1, Square2 };

inline constexpr std::uint8_t kEndByte = 0x00;
inline constexpr std::uint8_t kSilenceByte = 0x7E;
inline constexpr int kSquare1RowCount = 63;  // row 0 header, rows 1..62 notes
inline constexpr int kSquare2RowCount = 13;  // rows 0..12
inline constexpr int kNoteLengthUnit = 40;   // pixels of a note of length 1

ByteKind Classify(std::uint8_t b);

// Note names in grid order, highest pitch class of a Square 1 row first:
// a row label is a lookup into this table without any arithmetic on pitch.
inline constexpr std::array<std::string_view, 12> kNoteNameTable{
    "D#", "D", "C#", "C", "B", "A#", "A", "G#", "G", "F#", "F", "E"};

// Note bytes (0x01 to 0x7D). The arithmetic is applied to any byte value,
// so these are total; only note bytes give meaningful results.
int SemitoneNumber(std::uint8_t note);  // b / 2
int PitchClass(std::uint8_t note);      // 0 = C ... 11 = B
int OctaveNumber(std::uint8_t note);    // b / 24 + 2
std::string_view NoteName(int pitchClass);  // any int, taken modulo 12

// Rows of a note byte; nothing for bytes that are not notes.
// Square1NoteRow is the plain arithmetic 63 - semitone, so 0x01 gives 63,
// one row below the grid's last row (62).
std::optional<int> Square1NoteRow(std::uint8_t note);
std::optional<int> Square2NoteRow(std::uint8_t note);  // even note bytes only, 1..12
// The row a note is drawn in: nothing when the grid has no such row
// (Square 1: 0x01; Square 2: odd bytes), so the note shows in no cell.
std::optional<int> NoteRow(Grid grid, std::uint8_t note);

// The note byte a Square 1 click on row r (1..62) writes: 126 - 2r, mod 256.
std::uint8_t Square1NoteForRow(int row);
// The byte a Square 2 click on row r (0..12) turns note b into, mod 256.
// Rows 1..12 stay in b's octave; row 0 gives the C one octave above.
std::uint8_t Square2Repitch(std::uint8_t note, int row);

// Label of index row r of a grid; empty for the header row 0 and for rows
// the grid does not have.
std::string_view RowLabel(Grid grid, int row);

// The note-properties byte of two item positions (-1 when a combo box holds
// text that matches no item): ((instrument + 8) * 16 + length) mod 256.
// Total over all ints: any pair gives a byte, which need not be a property.
std::uint8_t ComposePropertyByte(int instrumentIndex, int lengthIndex);
int InstrumentNumber(std::uint8_t property);  // high four bits
int LengthCode(std::uint8_t property);        // low four bits

// Duration of a length code in units of kNoteLengthUnit, per grid, and the
// column width in pixels it gives: the integer part of unit * factor.
// Codes outside 0..15 give factor 1, as 13..15 do; widths saturate at the
// int range instead of overflowing.
double DurationFactor(Grid grid, int lengthCode);
int DurationWidth(Grid grid, int lengthCode, int noteLengthUnit = kNoteLengthUnit);

// Item lists of the two combo boxes of the " Note Properties Byte " group.
inline constexpr std::array<std::string_view, 8> kInstrumentItems{
    "Instr. 8", "Instr. 9", "Instr. A", "Instr. B",
    "Instr. C", "Instr. D", "Instr. E", "Instr. F"};
inline constexpr std::array<std::string_view, 13> kNoteLengthItems{
    "Undefined / < 0.25", "0.25", "0.5", "0.75 ?", "1", "1.25 ?", "1.50 ?",
    "1.75 ?", "2", "3", "4", "Undefined / > 4", "8"};
inline constexpr int kDefaultInstrumentIndex = 0;  // "Instr. 8"
inline constexpr int kDefaultNoteLengthIndex = 4;  // "1"

}  // namespace kestrin
