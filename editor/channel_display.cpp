#include "channel_display.h"

#include <algorithm>
#include <limits>

#include "cell_table.h"
#include "channel_cells.h"
#include "channel_grid.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "grid_texts.h"
#include "status_line.h"

namespace kestrin {

bool DisplayChannel(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                    ChannelGrid& widget) {
  if (!view.Loaded()) {
    context.status.Set(grid_texts::kSelectSongPartFirst);
    return false;
  }
  EditorSettings& settings = context.settings;
  const auto stream = view.Stream();
  widget.SetDefaultRowHeight(settings.caseHeight);
  const std::size_t columns = std::min(stream.size() + 1, static_cast<std::size_t>(std::numeric_limits<int>::max()));
  widget.SetColumnCount(static_cast<int>(columns));
  context.status.Set(QString::number(stream.size()));
  if (BuildCellTable(cells, grid, stream, settings.noteLengthUnit, settings.currentNoteWidth))
    context.status.Set(grid_texts::kCaseFree);
  widget.InvalidateLayout();
  return true;
}

}  // namespace kestrin
