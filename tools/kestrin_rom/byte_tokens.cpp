#include "byte_tokens.h"

#include <array>

#include "channel_bytes.h"
#include "square_events.h"

namespace kestrin::rom_tool {
namespace {

constexpr std::string_view kUndefinedPrefix = "Undefined / ";
constexpr int kLengthCodes = 16;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

// The note length item of a code as one word: "Undefined / < 0.25" gives
// "<0.25", "0.75 ?" gives "0.75?"; codes without an item give "c13".
std::string LengthWord(int code) {
  if (code >= static_cast<int>(kNoteLengthItems.size())) return "c" + std::to_string(code);
  std::string_view item = kNoteLengthItems[static_cast<std::size_t>(code)];
  if (item.starts_with(kUndefinedPrefix)) item.remove_prefix(kUndefinedPrefix.size());
  std::string word;
  for (const char c : item) {
    if (c != ' ') word += c;
  }
  return word;
}

std::optional<int> ParseLengthWord(std::string_view word) {
  const std::string lowered = Lowered(word);
  for (int code = 0; code < kLengthCodes; ++code) {
    std::string known = Lowered(LengthWord(code));
    if (lowered == known) return code;
    if (known.ends_with('?') && lowered == known.substr(0, known.size() - 1)) return code;
    if (lowered == "c" + std::to_string(code)) return code;
  }
  return std::nullopt;
}

struct NoteWord {
  int pitchClass;
  int octave;
  bool odd;
};

// Name, octave digit and the odd-byte mark, whatever byte they give.
std::optional<NoteWord> SplitNoteWord(std::string_view token) {
  if (token.size() < 2) return std::nullopt;
  std::size_t at = 0;
  std::string name(1, static_cast<char>(Lower(token[at++]) - 'a' + 'A'));
  if (at < token.size() && token[at] == '#') name += token[at++];
  if (at >= token.size() || token[at] < '0' || token[at] > '9') return std::nullopt;
  const int octave = token[at++] - '0';
  const bool odd = at < token.size() && token[at] == '+';
  if (odd) ++at;
  if (at != token.size()) return std::nullopt;
  for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
    if (NoteName(pitchClass) == name) return NoteWord{pitchClass, octave, odd};
  }
  return std::nullopt;
}

// The byte of a note word, as the note rules count: semitone s is byte
// 2s (or 2s + 1 for the odd byte), and octave 2 begins at semitone 0.
int NoteWordByte(const NoteWord& note) {
  return 2 * ((note.octave - 2) * 12 + note.pitchClass) + (note.odd ? 1 : 0);
}

bool IsNoteByte(int value) {
  return value >= 0 && value <= 0xFF && Classify(static_cast<std::uint8_t>(value)) == ByteKind::Note;
}

}  // namespace

std::string SquareToken(std::uint8_t byte) {
  switch (Classify(byte)) {
    case ByteKind::Note:
      return std::string(NoteName(PitchClass(byte))) + std::to_string(OctaveNumber(byte)) + (byte % 2 ? "+" : "");
    case ByteKind::Silence:
      return "rest";
    case ByteKind::End:
      return "end";
    case ByteKind::Property:
      return "i" + Hex(InstrumentNumber(byte)) + ":" + LengthWord(LengthCode(byte));
    case ByteKind::Other:
      break;
  }
  return "0x" + HexByte(byte);
}

std::optional<std::uint8_t> ParseSquareToken(std::string_view token) {
  const std::string lowered = Lowered(token);
  if (lowered == "rest") return kSilenceByte;
  if (lowered == "end") return kEndByte;
  if (lowered.starts_with("0x")) return ParseHexToken(token);
  if (lowered.size() > 3 && lowered[0] == 'i' && lowered[2] == ':') {
    const auto instrument = HexDigit(lowered[1]);
    const auto code = ParseLengthWord(std::string_view(lowered).substr(3));
    if (!instrument || *instrument < 8 || !code) return std::nullopt;
    return static_cast<std::uint8_t>(*instrument << 4 | *code);
  }
  const auto note = SplitNoteWord(token);
  if (!note || !IsNoteByte(NoteWordByte(*note))) return std::nullopt;
  return static_cast<std::uint8_t>(NoteWordByte(*note));
}

std::string HexToken(std::uint8_t byte) { return HexByte(byte); }

std::optional<std::uint8_t> ParseHexToken(std::string_view token) {
  if (token.size() > 2 && token[0] == '0' && Lower(token[1]) == 'x') token.remove_prefix(2);
  if (token.empty() || token.size() > 2) return std::nullopt;
  int value = 0;
  for (const char c : token) {
    const auto digit = HexDigit(c);
    if (!digit) return std::nullopt;
    value = value * 16 + *digit;
  }
  return static_cast<std::uint8_t>(value);
}

std::optional<std::string> WhyNoNote(std::string_view token) {
  const auto note = SplitNoteWord(token);
  if (!note) return std::nullopt;
  const int value = NoteWordByte(*note);
  if (IsNoteByte(value)) return std::nullopt;
  std::string why = "\"" + std::string(token) + "\" is no note: notes run from C2+ (01) to D7+ (7D)";
  if (value == kEndByte) why += "; C2 would be 00, the end byte";
  if (value == kSilenceByte) why += "; D#7 would be 7E, the rest";
  return why;
}

}  // namespace kestrin::rom_tool
