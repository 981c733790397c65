#include "cell_table.h"

namespace kestrin {

bool BuildCellTable(CellTable& table, Grid grid, std::span<const std::uint8_t> stream,
                    std::int32_t noteLengthUnit, std::int32_t& currentNoteWidth) {
  const bool existed = table.builtFor.has_value();
  // Every edit rebuilds the table; resize keeps the capacity of the last
  // build, so a display of a long stream allocates nothing after the first.
  table.cells.resize(stream.size());
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const std::uint8_t b = stream[i];
    CellRecord& cell = table.cells[i];
    cell.kind = Classify(b);
    cell.octave = 0;
    cell.noteRow = -1;
    cell.width = currentNoteWidth;
    if (cell.kind == ByteKind::Note) {
      cell.octave = static_cast<std::uint8_t>(OctaveNumber(b));
      if (const std::optional<int> row = NoteRow(grid, b)) cell.noteRow = static_cast<std::int8_t>(*row);
    } else if (cell.kind == ByteKind::Property) {
      cell.width = noteLengthUnit;
      currentNoteWidth = DurationWidth(grid, LengthCode(b), noteLengthUnit);
    }
  }
  table.builtFor = grid;
  return existed;
}

void ReleaseCellTable(CellTable& table) {
  table.cells = {};
  table.builtFor.reset();
}

}  // namespace kestrin
