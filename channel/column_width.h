#pragma once
// The width a grid column is drawn with, from its cell record and the
// settings at drawing time (not at display time).

#include <cstdint>

#include "cell_table.h"

namespace kestrin {

// Square 1 property columns follow the property case length as it is now;
// end columns are one unit wide; every other column keeps the width the
// display recorded.
std::int32_t ColumnDrawWidth(Grid grid, const CellRecord& cell, std::int32_t noteLengthUnit,
                             std::int32_t propCaseLength);

}  // namespace kestrin
