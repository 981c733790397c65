#pragma once
// What a Square grid shows in each cell, from the loaded part, the shared
// per-cell tables and the editor settings as they are at drawing time. Both
// Square pages draw through one of these, set up for their own grid.

#include <QString>
#include <cstdint>
#include <span>

#include "channel_bytes.h"

class QPainter;
class QRect;

namespace kestrin {

struct EditorContext;
struct CellTable;
struct CellRecord;

// The edit buffer a grid shows: stream 1 on Square 1, stream 2 on Square 2.
int StreamOf(Grid grid);

class ChannelCells {
 public:
  ChannelCells(Grid grid, const EditorContext& context, const CellTable& cells);

  // A part is loaded and its edit buffers exist.
  bool Loaded() const;
  // Loaded, and the shared tables were last built for this grid.
  bool Drawable() const;
  // The edit buffer this grid shows; empty when nothing is loaded. Read
  // only: edits go through the write path (model/write_path.h).
  std::span<const std::uint8_t> Stream() const;

  // Width of column `column` (1 and up) as drawn now.
  std::int64_t ColumnWidth(int column) const;
  // ColumnWidth of columns first, first + 1, ... in one pass.
  void ColumnWidths(int first, std::span<std::int64_t> out) const;
  // Changes whenever ColumnWidth may answer differently without a display.
  std::uint64_t LayoutKey() const;

  void Draw(QPainter& painter, int column, int row, const QRect& rect) const;
  // The text Draw writes into the cell; empty for none.
  QString Text(int column, int row) const;

 private:
  const CellRecord* Record(int column) const;

  Grid grid_;
  const EditorContext& context_;
  const CellTable& cells_;
};

}  // namespace kestrin
