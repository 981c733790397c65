#pragma once
// The per-cell tables: one record per byte of the stream displayed last,
// shared by the two channel grids and rebuilt by every display.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "channel_bytes.h"

namespace kestrin {

struct CellRecord {
  ByteKind kind = ByteKind::Other;
  std::uint8_t octave = 0;  // note bytes only
  std::int8_t noteRow = -1; // row of the note in the grid it was built for; -1: none
  std::int32_t width = 0;   // recorded column width in pixels
};
static_assert(sizeof(CellRecord) == 8, "the per-cell table stays at 8 bytes per stream byte");

struct CellTable {
  std::vector<CellRecord> cells;
  std::optional<Grid> builtFor;  // absent until the first display, and after release
};

// Rebuilds `table` from `stream` for `grid`. Each cell takes the current note
// width; a note-properties byte takes the unit and sets the current note
// width for the cells after it. `currentNoteWidth` carries over between
// displays. Returns true when tables existed before (they were released).
bool BuildCellTable(CellTable& table, Grid grid, std::span<const std::uint8_t> stream,
                    std::int32_t noteLengthUnit, std::int32_t& currentNoteWidth);

void ReleaseCellTable(CellTable& table);

}  // namespace kestrin
