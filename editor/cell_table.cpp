#include "cell_table.h"

namespace kestrin {

bool BuildCellTable(CellTable& table, Grid grid, std::span<const std::uint8_t> stream,
                    std::int32_t noteLengthUnit, std::int32_t& currentNoteWidth) {
  (void)grid; (void)stream; (void)noteLengthUnit; (void)currentNoteWidth;
  const bool existed = table.builtFor.has_value();
  table.cells.clear();
  return existed;
}

void ReleaseCellTable(CellTable& table) {
  table.cells = {};
  table.builtFor.reset();
}

}  // namespace kestrin
