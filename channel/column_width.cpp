#include "column_width.h"

namespace kestrin {

std::int32_t ColumnDrawWidth(Grid grid, const CellRecord& cell, std::int32_t noteLengthUnit,
                             std::int32_t propCaseLength) {
  switch (cell.kind) {
    case ByteKind::Property:
      return grid == Grid::Square1 ? propCaseLength : cell.width;
    case ByteKind::End:
      return noteLengthUnit;
    case ByteKind::Note:
    case ByteKind::Silence:
    case ByteKind::Other:
      break;
  }
  return cell.width;
}

}  // namespace kestrin
