#pragma once
// The editor settings: held by the main window for the life of the process,
// never saved. Start values are the ones every run begins with.

#include <cstdint>

#include "channel_bytes.h"

namespace kestrin {

// A 24-bit colour word with red in the low byte: 0x00BBGGRR. The note
// shading adds and ANDs these words as integers, carries included.
using ColorWord = std::uint32_t;

constexpr ColorWord MakeColorWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<ColorWord>(red) | (static_cast<ColorWord>(green) << 8) |
         (static_cast<ColorWord>(blue) << 16);
}

enum class EditMode : std::int32_t { Note = 0, Mute = 1, Property = 2 };

struct EditorSettings {
  EditMode editMode = EditMode::Note;
  static constexpr std::int32_t noteLengthUnit = kNoteLengthUnit;
  std::int32_t currentNoteWidth = noteLengthUnit;
  std::int32_t caseHeight = 16;
  std::int32_t propCaseLength = 40;
  std::int16_t pitchLightIntensity = 20;
  ColorWord emptyCaseColor = MakeColorWord(0xFF, 0xFF, 0xFF);
  ColorWord noteColor = MakeColorWord(0x40, 0x10, 0x10);
  ColorWord silenceColor = MakeColorWord(0xE0, 0xC0, 0xC0);
  ColorWord loopEndColor = MakeColorWord(0x48, 0x7E, 0xB8);
  ColorWord notePropertiesColor = MakeColorWord(0x70, 0x88, 0xD0);
  ColorWord notesIndexColor = MakeColorWord(0x80, 0x80, 0x80);
  bool askBackup = true;  // mirrored by the check box Chk_AskBackup
};

}  // namespace kestrin
