#include "channel_bytes.h"

namespace kestrin {
// Placeholder bodies; replaced by the real rules.
ByteKind Classify(std::uint8_t) { return ByteKind::Other; }
int SemitoneNumber(std::uint8_t) { return 0; }
int PitchClass(std::uint8_t) { return 0; }
int OctaveNumber(std::uint8_t) { return 0; }
std::string_view NoteName(int) { return {}; }
std::optional<int> Square1NoteRow(std::uint8_t) { return {}; }
std::optional<int> Square2NoteRow(std::uint8_t) { return {}; }
std::optional<int> NoteRow(Grid, std::uint8_t) { return {}; }
std::uint8_t Square1NoteForRow(int) { return 0; }
std::uint8_t Square2Repitch(std::uint8_t, int) { return 0; }
std::string_view RowLabel(Grid, int) { return {}; }
std::uint8_t ComposePropertyByte(int, int) { return 0; }
int InstrumentNumber(std::uint8_t) { return 0; }
int LengthCode(std::uint8_t) { return 0; }
double DurationFactor(Grid, int) { return 1.0; }
int DurationWidth(Grid, int, int) { return 0; }
}  // namespace kestrin
