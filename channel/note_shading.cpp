#include "note_shading.h"

namespace kestrin {

ColorWord ShadedNoteColor(int octave, std::int16_t pitchLightIntensity, ColorWord noteColor,
                          ColorWord emptyCaseColor) {
  // The low byte of a two's-complement product does not depend on the width
  // it is computed in; unsigned arithmetic keeps every input overflow-free.
  const std::uint32_t product =
      static_cast<std::uint32_t>(octave) * static_cast<std::uint32_t>(static_cast<int>(pitchLightIntensity));
  const std::uint32_t lift = product & 0xFFu;
  const std::uint32_t shaded = lift * 0x010101u + noteColor;
  return shaded & emptyCaseColor;
}

}  // namespace kestrin
