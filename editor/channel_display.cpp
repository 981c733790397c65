#include "channel_display.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "cell_table.h"
#include "channel_cells.h"
#include "channel_grid.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "grid_texts.h"
#include "part_streams.h"
#include "status_line.h"

namespace kestrin {

namespace {

int ColumnCountFor(std::size_t streamLength) {
  const std::size_t columns = std::min(streamLength + 1, static_cast<std::size_t>(std::numeric_limits<int>::max()));
  return static_cast<int>(columns);
}

std::uint64_t TakenOver(const EditorContext& context, Grid grid) {
  const int stream = grid == Grid::Square1 ? kSquare1Stream : kSquare2Stream;
  return context.state.channels->takenOver[static_cast<std::size_t>(stream)];
}

// Cell k is drawn in column k + 1.
int ColumnOf(std::size_t cell) {
  return static_cast<int>(std::min(cell + 1, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

}  // namespace

bool DisplayChannel(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                    ChannelGrid& widget) {
  if (!view.Loaded()) {
    context.status.Set(grid_texts::kSelectSongPartFirst);
    return false;
  }
  EditorSettings& settings = context.settings;
  const auto stream = view.Stream();
  widget.SetDefaultRowHeight(settings.caseHeight);
  widget.SetColumnCount(ColumnCountFor(stream.size()));
  context.status.Set(QString::number(stream.size()));
  if (BuildCellTable(cells, grid, stream, settings.noteLengthUnit, settings.currentNoteWidth))
    context.status.Set(grid_texts::kCaseFree);
  cells.sourceVersion = TakenOver(context, grid);
  // The whole display is the road for bytes changed without naming them
  // (an undo, say): the next write-back must look at every byte too.
  ForgetEditMarks(context.state);
  widget.InvalidateLayout();
  return true;
}

bool DisplayChannelEdit(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                        ChannelGrid& widget, std::size_t index) {
  if (!view.Loaded()) return DisplayChannel(grid, context, cells, view, widget);
  EditorSettings& settings = context.settings;
  const auto stream = view.Stream();
  // A write-back that took image bytes over into the buffers changed the
  // stream behind the tables' back.
  if (widget.ColumnCount() != ColumnCountFor(stream.size()) ||
      cells.sourceVersion != TakenOver(context, grid))
    return DisplayChannel(grid, context, cells, view, widget);
  const std::optional<CellTableChange> change =
      UpdateCellTable(cells, grid, stream, index, settings.noteLengthUnit, settings.currentNoteWidth);
  if (!change) return DisplayChannel(grid, context, cells, view, widget);

  widget.SetDefaultRowHeight(settings.caseHeight);
  // The tables existed, so the stream length the whole display shows first
  // gives way to this text at once.
  context.status.Set(grid_texts::kCaseFree);
  for (const CellRange& moved : {change->leading, change->following}) {
    if (!moved.Empty()) widget.ColumnWidthsChanged(ColumnOf(moved.first), ColumnOf(moved.last - 1));
  }
  return true;
}

}  // namespace kestrin
