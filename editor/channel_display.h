#pragma once
// The display of a Square grid: decodes its edit buffer into the shared
// per-cell tables, sizes the grid and repaints it.

#include "channel_bytes.h"

namespace kestrin {

struct EditorContext;
struct CellTable;
class ChannelCells;
class ChannelGrid;

// Returns false, after saying so on the status line, when no part is loaded.
bool DisplayChannel(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                    ChannelGrid& widget);

}  // namespace kestrin
