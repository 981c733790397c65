#pragma once
// What the two Square pages share: the decoded cells of their stream, which
// also tell the grid how wide each column is drawn. Each page names its own
// drawing handler.

#include <QWidget>
#include <cstdint>
#include <span>

#include "channel_cells.h"
#include "channel_grid.h"

namespace kestrin {

struct EditorContext;
struct CellTable;

class ChannelPage : public QWidget, protected ChannelGridSource {
 protected:
  ChannelPage(Grid grid, EditorContext& context, CellTable& cells, QWidget* parent);

  EditorContext& context_;
  CellTable& cells_;
  ChannelCells view_;

 private:
  std::int64_t ColumnWidthAt(int column) const override { return view_.ColumnWidth(column); }
  void ColumnWidthsAt(int first, std::span<std::int64_t> out) const override {
    view_.ColumnWidths(first, out);
  }
  std::uint64_t LayoutKey() const override { return view_.LayoutKey(); }
};

}  // namespace kestrin
