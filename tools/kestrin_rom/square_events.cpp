#include "square_events.h"

#include <cstdio>

namespace kestrin::rom_tool {

SquareEvent DecodeSquareByte(std::uint8_t byte, Grid grid, std::size_t index) {
  SquareEvent event;
  event.index = index;
  event.byte = byte;
  event.kind = Classify(byte);
  if (event.kind == ByteKind::Note) {
    event.note = std::string(NoteName(PitchClass(byte))) + std::to_string(OctaveNumber(byte));
  } else if (event.kind == ByteKind::Property) {
    event.instrument = InstrumentNumber(byte);
    event.lengthCode = LengthCode(byte);
    event.duration = DurationFactor(grid, event.lengthCode);
  }
  return event;
}

std::vector<SquareEvent> DecodeSquareStream(std::span<const std::uint8_t> stream, Grid grid) {
  std::vector<SquareEvent> events;
  events.reserve(stream.size());
  for (std::size_t i = 0; i < stream.size(); ++i) events.push_back(DecodeSquareByte(stream[i], grid, i));
  return events;
}

std::string EventText(const SquareEvent& event) {
  switch (event.kind) {
    case ByteKind::Note:
      return event.note;
    case ByteKind::Silence:
      return "rest";
    case ByteKind::End:
      return "end";
    case ByteKind::Property:
      return "props " + Hex(event.byte) + " (Instr. " + Hex(event.instrument) + ", length " +
             std::to_string(event.lengthCode) + ", duration " + DurationText(event.duration) + ")";
    case ByteKind::Other:
      break;
  }
  return Hex(event.byte) + " (not interpreted)";
}

std::string_view KindName(ByteKind kind) {
  switch (kind) {
    case ByteKind::Note:
      return "note";
    case ByteKind::Silence:
      return "rest";
    case ByteKind::End:
      return "end";
    case ByteKind::Property:
      return "properties";
    case ByteKind::Other:
      break;
  }
  return "other";
}

std::string Hex(std::int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string HexByte(std::uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string Offset(std::int64_t value) { return "0x" + Hex(value); }

std::string DurationText(double factor) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", factor);
  return text;
}

}  // namespace kestrin::rom_tool
