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
#include "status_line.h"

namespace kestrin {

namespace {

int ColumnCountFor(std::size_t streamLength) {
  const std::size_t columns = std::min(streamLength + 1, static_cast<std::size_t>(std::numeric_limits<int>::max()));
  return static_cast<int>(columns);
}

// Past this many changed bytes one whole display costs less than the
// updates, each of which patches the column positions after it.
constexpr std::size_t kMostUpdatedBytes = 32;

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
  widget.InvalidateLayout();
  return true;
}

bool DisplayChannelEdits(Grid grid, EditorContext& context, CellTable& cells, const ChannelCells& view,
                         ChannelGrid& widget, std::span<const std::size_t> indexes) {
  if (!view.Loaded()) return DisplayChannel(grid, context, cells, view, widget);
  EditorSettings& settings = context.settings;
  const auto stream = view.Stream();
  if (widget.ColumnCount() != ColumnCountFor(stream.size()) || indexes.size() > kMostUpdatedBytes)
    return DisplayChannel(grid, context, cells, view, widget);
  // One display: every byte sees the width carried in from the last one.
  const std::int32_t carried = settings.currentNoteWidth;
  for (const std::size_t index : indexes) {
    settings.currentNoteWidth = carried;
    const std::optional<CellTableChange> change =
        UpdateCellTable(cells, grid, stream, index, settings.noteLengthUnit, settings.currentNoteWidth);
    if (!change) {
      settings.currentNoteWidth = carried;
      return DisplayChannel(grid, context, cells, view, widget);
    }
    for (const CellRange& moved : {change->leading, change->following}) {
      if (!moved.Empty()) widget.ColumnWidthsChanged(ColumnOf(moved.first), ColumnOf(moved.last - 1));
    }
  }
  widget.SetDefaultRowHeight(settings.caseHeight);
  // The tables existed, so the stream length the whole display shows first
  // gives way to this text at once.
  context.status.Set(grid_texts::kCaseFree);
  return true;
}

std::vector<std::size_t> EditedIndexes(const EditingState& state, int stream, std::span<const ByteChange> changes,
                                       std::optional<std::size_t> also) {
  std::vector<std::size_t> indexes;
  if (also) indexes.push_back(*also);
  const auto k = static_cast<std::size_t>(stream);
  const std::size_t length = state.channels ? state.channels->edit[k].size() : 0;
  for (const ByteChange& change : changes) {
    if (change.target != ByteTarget::Edit || change.stream != stream) continue;
    const std::int64_t index = std::int64_t{change.position} - state.streamPosition[k];
    if (index >= 0 && static_cast<std::size_t>(index) < length) indexes.push_back(static_cast<std::size_t>(index));
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  return indexes;
}

}  // namespace kestrin
