#pragma once
// The display of a Square grid: decodes its edit buffer into the shared
// per-cell tables, sizes the grid and repaints it.

#include <cstddef>

#include "channel_bytes.h"

namespace kestrin {

struct EditorContext;
struct CellTable;
class ChannelCells;
class ChannelGrid;

// The whole display. Returns false, after saying so on the status line, when
// no part is loaded.
bool DisplayChannel(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                    ChannelGrid& widget);

// The display after an edit changed byte `index` of the grid's stream and
// nothing else since the grid's last display: leaves the same tables,
// widths, carried note width, status line and pixels as DisplayChannel, but
// works only on the cells the edit touched. Runs the whole display when the
// tables describe something else (another grid, another stream).
bool DisplayChannelEdit(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                        ChannelGrid& widget, std::size_t index);

}  // namespace kestrin
