#pragma once
// The display of a Square grid: decodes its edit buffer into the shared
// per-cell tables, sizes the grid and repaints it.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "byte_change.h"

#include "channel_bytes.h"

namespace kestrin {

struct EditingState;
struct EditorContext;
struct CellTable;
class ChannelCells;
class ChannelGrid;

// The whole display. Returns false, after saying so on the status line, when
// no part is loaded.
bool DisplayChannel(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                    ChannelGrid& widget);

// The display after edits changed the bytes `indexes` (ascending, each
// once) of the grid's stream and nothing else since the grid's last
// display: leaves the same tables, widths, carried note width, status line
// and pixels as DisplayChannel, but works only on the cells the edits
// touched. Runs the whole display when the tables describe something else
// (another grid, another stream) or when that is the cheaper road.
bool DisplayChannelEdits(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                         ChannelGrid& widget, std::span<const std::size_t> indexes);

// The bytes of edit buffer `stream` that `changes` name, with `also`, as
// indexes into the buffer: ascending, each once.
std::vector<std::size_t> EditedIndexes(const EditingState& state, int stream, std::span<const ByteChange> changes,
                                       std::optional<std::size_t> also);

}  // namespace kestrin
