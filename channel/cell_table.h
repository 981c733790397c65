#pragma once
// The per-cell tables: one record per byte of the stream displayed last,
// shared by the two channel grids and rebuilt by every display, or brought
// up to date after a one-byte edit.

#include <array>
#include <cstddef>
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

// Every byte value decoded once for one grid and one note length unit: the
// record a byte gets (a property byte's width is the unit) and, for property
// bytes, the width it sets for the cells after it.
struct ByteDecoding {
  std::int32_t unit = 0;  // 0: not filled yet
  std::array<CellRecord, 256> record{};
  std::array<std::int32_t, 256> widthAfter{};
};

struct CellTable {
  std::vector<CellRecord> cells;
  std::optional<Grid> builtFor;  // absent until the first display, and after release
  // The current note width the cells before the first property byte took
  // at the last build or update.
  std::int32_t carriedIn = 0;
  std::int32_t unit = 0;
  const std::uint8_t* source = nullptr;  // the stream's bytes at the last build
  std::array<ByteDecoding, 2> decoding;  // per grid, filled on first use
};

// Rebuilds `table` from `stream` for `grid`. Each cell takes the current note
// width; a note-properties byte takes the unit and sets the current note
// width for the cells after it. `currentNoteWidth` carries over between
// displays. Returns true when tables existed before (they were released).
bool BuildCellTable(CellTable& table, Grid grid, std::span<const std::uint8_t> stream,
                    std::int32_t noteLengthUnit, std::int32_t& currentNoteWidth);

// Cells [first, last) whose recorded width changed.
struct CellRange {
  std::size_t first = 0;
  std::size_t last = 0;
  bool Empty() const { return first >= last; }
};

// The cells an update changed: those before the first property byte when
// the carried width moved, and those from the edited byte (always included)
// to the next property byte.
struct CellTableChange {
  CellRange leading;
  CellRange following;
};

// Brings `table` up to date after byte `index` of `stream` changed and
// nothing else did since the table was last built or updated for `grid`:
// the result equals BuildCellTable on the whole stream with the same
// `currentNoteWidth`, in time proportional to the cells whose widths change.
// Returns nothing, changing nothing, when the table does not describe this
// stream (another grid, another length or buffer, another unit); the caller
// then builds it whole.
std::optional<CellTableChange> UpdateCellTable(CellTable& table, Grid grid,
                                               std::span<const std::uint8_t> stream,
                                               std::size_t index, std::int32_t noteLengthUnit,
                                               std::int32_t& currentNoteWidth);

void ReleaseCellTable(CellTable& table);

}  // namespace kestrin
