#pragma once
// Conversion between the settings' colour words (0x00BBGGRR, red in the low
// byte) and Qt colours. The grids and the options page both go through here
// so the byte order is decided in one place.

#include <QColor>
#include <cstdint>

#include "editor_settings.h"

namespace kestrin {

inline QColor ToQColor(ColorWord word) {
  return QColor(static_cast<int>(word & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
                static_cast<int>((word >> 16) & 0xFFu));
}

inline ColorWord ToColorWord(const QColor& color) {
  return MakeColorWord(static_cast<std::uint8_t>(color.red()),
                       static_cast<std::uint8_t>(color.green()),
                       static_cast<std::uint8_t>(color.blue()));
}

}  // namespace kestrin
