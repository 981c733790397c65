#include "channel_bytes.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kestrin {
namespace {

constexpr std::uint8_t kOtherHigh = 0x80;

// Euclidean remainder: table lookups stay in range for negative inputs.
constexpr int Modulo(int value, int divisor) {
  const int r = value % divisor;
  return r < 0 ? r + divisor : r;
}

// Keeps the low eight bits of any int without signed overflow.
constexpr std::uint8_t LowByte(int value) {
  return static_cast<std::uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

// Duration factors in quarters of the note length unit, indexed by length
// code. Square 1 gives factor 1 to the codes whose item names carry a
// question mark and to code 11.
constexpr std::array<int, 16> kSquare1Quarters{1, 1, 2, 4, 4, 4, 4, 4, 8, 12, 16, 4, 32, 4, 4, 4};
constexpr std::array<int, 16> kSquare2Quarters{1, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 32, 32, 4, 4, 4};
constexpr int kQuartersOfUnit = 4;

int DurationQuarters(Grid grid, int lengthCode) {
  if (lengthCode < 0 || lengthCode >= static_cast<int>(kSquare1Quarters.size())) {
    return kQuartersOfUnit;
  }
  const auto index = static_cast<std::size_t>(lengthCode);
  return grid == Grid::Square1 ? kSquare1Quarters[index] : kSquare2Quarters[index];
}

}  // namespace

ByteKind Classify(std::uint8_t b) {
  if (b == kEndByte) return ByteKind::End;
  if (b < kSilenceByte) return ByteKind::Note;
  if (b == kSilenceByte) return ByteKind::Silence;
  if (b <= kOtherHigh) return ByteKind::Other;
  return ByteKind::Property;
}

int SemitoneNumber(std::uint8_t note) { return note / 2; }

int PitchClass(std::uint8_t note) { return SemitoneNumber(note) % 12; }

int OctaveNumber(std::uint8_t note) { return note / 24 + 2; }

std::string_view NoteName(int pitchClass) {
  return kNoteNameTable[static_cast<std::size_t>(Modulo(3 - Modulo(pitchClass, 12), 12))];
}

std::optional<int> Square1NoteRow(std::uint8_t note) {
  if (Classify(note) != ByteKind::Note) return std::nullopt;
  return kSquare1RowCount - SemitoneNumber(note);
}

std::optional<int> Square2NoteRow(std::uint8_t note) {
  if (Classify(note) != ByteKind::Note || note % 2 != 0) return std::nullopt;
  return 12 - PitchClass(note);
}

std::optional<int> NoteRow(Grid grid, std::uint8_t note) {
  const std::optional<int> row = grid == Grid::Square1 ? Square1NoteRow(note) : Square2NoteRow(note);
  const int rowCount = grid == Grid::Square1 ? kSquare1RowCount : kSquare2RowCount;
  if (!row || *row < 1 || *row >= rowCount) return std::nullopt;
  return row;
}

std::uint8_t Square1NoteForRow(int row) {
  return LowByte(126 - 2 * Modulo(row, 256));
}

std::uint8_t Square2Repitch(std::uint8_t note, int row) {
  const int octaveBase = note - note % 24;
  return LowByte(octaveBase + 24 - 2 * Modulo(row, 256));
}

std::string_view RowLabel(Grid grid, int row) {
  const int rowCount = grid == Grid::Square1 ? kSquare1RowCount : kSquare2RowCount;
  if (row < 1 || row >= rowCount) return {};
  const int entry = grid == Grid::Square1 ? row % 12 : (row + 3) % 12;
  return kNoteNameTable[static_cast<std::size_t>(entry)];
}

std::uint8_t ComposePropertyByte(int instrumentIndex, int lengthIndex) {
  // Unsigned arithmetic wraps modulo 2^32, a multiple of 256, so the low
  // byte is the same as the 8-bit sum and no input overflows.
  const unsigned instrument = (static_cast<unsigned>(instrumentIndex) + 8u) & 0xFFu;
  return static_cast<std::uint8_t>(((instrument << 4) + static_cast<unsigned>(lengthIndex)) & 0xFFu);
}

int InstrumentNumber(std::uint8_t property) { return property >> 4; }

int LengthCode(std::uint8_t property) { return property & 0x0F; }

double DurationFactor(Grid grid, int lengthCode) {
  return static_cast<double>(DurationQuarters(grid, lengthCode)) / kQuartersOfUnit;
}

int DurationWidth(Grid grid, int lengthCode, int noteLengthUnit) {
  // Integer division truncates toward zero: the integer part of unit * factor.
  const std::int64_t width =
      static_cast<std::int64_t>(noteLengthUnit) * DurationQuarters(grid, lengthCode) / kQuartersOfUnit;
  return static_cast<int>(std::clamp<std::int64_t>(width, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace kestrin
