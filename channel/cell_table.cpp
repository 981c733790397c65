#include "cell_table.h"

namespace kestrin {

namespace {

// Decodes all 256 byte values through the byte rules once, so the loops
// below do one table look-up per byte instead of calls into them.
const ByteDecoding& DecodingFor(CellTable& table, Grid grid, std::int32_t unit) {
  ByteDecoding& d = table.decoding[grid == Grid::Square1 ? 0 : 1];
  if (d.unit == unit && unit != 0) return d;
  for (int value = 0; value < 256; ++value) {
    const auto b = static_cast<std::uint8_t>(value);
    CellRecord& cell = d.record[static_cast<std::size_t>(value)];
    cell = CellRecord{};
    cell.kind = Classify(b);
    d.widthAfter[static_cast<std::size_t>(value)] = 0;
    if (cell.kind == ByteKind::Note) {
      cell.octave = static_cast<std::uint8_t>(OctaveNumber(b));
      if (const std::optional<int> row = NoteRow(grid, b)) cell.noteRow = static_cast<std::int8_t>(*row);
    } else if (cell.kind == ByteKind::Property) {
      cell.width = unit;
      d.widthAfter[static_cast<std::size_t>(value)] = DurationWidth(grid, LengthCode(b), unit);
    }
  }
  d.unit = unit;
  return d;
}

}  // namespace

bool BuildCellTable(CellTable& table, Grid grid, std::span<const std::uint8_t> stream,
                    std::int32_t noteLengthUnit, std::int32_t& currentNoteWidth) {
  const bool existed = table.builtFor.has_value();
  const ByteDecoding& decoding = DecodingFor(table, grid, noteLengthUnit);
  table.carriedIn = currentNoteWidth;
  // resize keeps the capacity of the last build, so a display of a long
  // stream allocates nothing after the first.
  table.cells.resize(stream.size());
  std::int32_t width = currentNoteWidth;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const std::uint8_t b = stream[i];
    CellRecord cell = decoding.record[b];
    if (cell.kind == ByteKind::Property) {
      width = decoding.widthAfter[b];
    } else {
      cell.width = width;
    }
    table.cells[i] = cell;
  }
  currentNoteWidth = width;
  table.unit = noteLengthUnit;
  table.source = stream.data();
  table.builtFor = grid;
  return existed;
}

std::optional<CellTableChange> UpdateCellTable(CellTable& table, Grid grid,
                                               std::span<const std::uint8_t> stream,
                                               std::size_t index, std::int32_t noteLengthUnit,
                                               std::int32_t& currentNoteWidth) {
  std::vector<CellRecord>& cells = table.cells;
  const std::size_t n = stream.size();
  if (table.builtFor != grid || cells.size() != n || index >= n || table.unit != noteLengthUnit ||
      table.source != stream.data()) {
    return std::nullopt;
  }
  const ByteDecoding& decoding = DecodingFor(table, grid, noteLengthUnit);
  CellTableChange change;

  // The cells before the first property byte take the width carried in;
  // after the last display it is that display's outgoing width, so it moves
  // when the edit before this one changed the stream's last property byte.
  // Bytes before `index` are unchanged, so their recorded kinds hold.
  const std::int32_t carried = currentNoteWidth;
  if (carried != table.carriedIn) {
    std::size_t i = 0;
    for (; i < index && cells[i].kind != ByteKind::Property; ++i) cells[i].width = carried;
    change.leading = {0, i};
    table.carriedIn = carried;
  }

  // The width in force at `index`: set by the byte before it, or carried.
  std::int32_t width = carried;
  if (index > 0) {
    const CellRecord& before = cells[index - 1];
    width = before.kind == ByteKind::Property ? decoding.widthAfter[stream[index - 1]] : before.width;
  }
  const std::uint8_t b = stream[index];
  CellRecord cell = decoding.record[b];
  if (cell.kind == ByteKind::Property) {
    width = decoding.widthAfter[b];
  } else {
    cell.width = width;
  }
  cells[index] = cell;

  // The cells up to the next property byte all recorded one width, so the
  // first of them tells whether the run moved.
  std::size_t end = index + 1;
  if (end < n && cells[end].kind != ByteKind::Property && cells[end].width != width) {
    for (; end < n && cells[end].kind != ByteKind::Property; ++end) cells[end].width = width;
  }
  // The edited column itself always counts: a change of kind alone changes
  // the width it is drawn with (property and end columns).
  change.following = {index, end};

  // The last cell tells the width in force at the stream's end: the width
  // left for the next display.
  const CellRecord& last = cells[n - 1];
  currentNoteWidth = last.kind == ByteKind::Property ? decoding.widthAfter[stream[n - 1]] : last.width;
  return change;
}

void ReleaseCellTable(CellTable& table) {
  table.cells = {};
  table.builtFor.reset();
  table.source = nullptr;
}

}  // namespace kestrin
