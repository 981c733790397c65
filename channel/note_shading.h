#pragma once
// The colour of a note cell: lighter for higher octaves, then masked by the
// empty case colour. Works on 0x00BBGGRR words as plain integers, so a
// component that overflows carries into the next one.

#include <cstdint>

#include "editor_settings.h"

namespace kestrin {

// i := low 8 bits of octave * intensity; (i * 0x010101 + noteColor) AND emptyCaseColor.
ColorWord ShadedNoteColor(int octave, std::int16_t pitchLightIntensity, ColorWord noteColor,
                          ColorWord emptyCaseColor);

}  // namespace kestrin
