#pragma once
// The header-row text of a grid column: its width in note length units.

#include <cstdint>
#include <string>

namespace kestrin {

// width / unit as a decimal number in its shortest form with a point as
// separator, whatever the user's locale: "0.25", "1", "1.5", "8". Empty
// when the unit is not positive.
std::string HeaderText(std::int32_t width, std::int32_t noteLengthUnit);

}  // namespace kestrin
