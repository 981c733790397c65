#pragma once
// A string grid whose cells are all painted by their owner: one fixed index
// column, optionally one fixed header row, a 1-pixel grid line after every
// column and row. Column widths come from a ChannelGridSource and may change
// with every display, so positions live in a compact prefix sum (one 64-bit
// checkpoint per 64 columns) that is rebuilt in linear time, or patched from
// the first changed block on when an edit moved a few widths; a paint
// touches only the cells of its update region. Streams can run to 163,839
// bytes, hence the care.

#include <QAbstractScrollArea>
#include <QRect>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class QPainter;

namespace kestrin {

// What the grid asks of its owner.
class ChannelGridSource {
 public:
  virtual ~ChannelGridSource() = default;
  // Width in pixels of column `column` (1 and up) as drawn now; zero or
  // negative widths are drawn as zero.
  virtual std::int64_t ColumnWidthAt(int column) const = 0;
  // The widths of columns first, first + 1, ... into `out`: one call per
  // block of columns when the grid lays out thousands of them.
  virtual void ColumnWidthsAt(int first, std::span<std::int64_t> out) const {
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = ColumnWidthAt(first + static_cast<int>(i));
  }
  // Any value that changes whenever ColumnWidthAt may answer differently
  // without the grid having been told through InvalidateLayout.
  virtual std::uint64_t LayoutKey() const = 0;
  // Paints one cell after the grid has painted its plain background. The
  // painter is clipped to the part of the grid the cell belongs to.
  virtual void DrawCell(QPainter& painter, int column, int row, const QRect& rect) const = 0;
};

struct ChannelGridShape {
  int rowCount = 1;
  int fixedRows = 0;  // 0 or 1: row 0 stays in place when scrolling
  bool border = true;
};

struct GridCell {
  int column = 0;
  int row = 0;
  friend bool operator==(const GridCell&, const GridCell&) = default;
};

class ChannelGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kStartColumnCount = 20;
  static constexpr int kStartColumnWidth = 32;  // also the index column's width for good
  static constexpr int kStartRowHeight = 16;
  static constexpr int kGridLineWidth = 1;
  static constexpr int kFixedColumns = 1;

  ChannelGrid(const ChannelGridShape& shape, const ChannelGridSource& source,
              QWidget* parent = nullptr);

  int RowCount() const { return shape_.rowCount; }
  int FixedRows() const { return shape_.fixedRows; }
  // Column count and row height take effect at the next InvalidateLayout or
  // paint, so a display that sets both and rebuilds the widths lays out once.
  int ColumnCount() const { return columnCount_; }
  void SetColumnCount(int count);
  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int height);

  // The source's widths changed: rebuild the column positions now.
  void InvalidateLayout();
  // Only columns first..last changed, in what they show or how wide they
  // are: the positions from their block on follow, and the view repaints
  // these columns, and everything right of them if they moved.
  void ColumnWidthsChanged(int first, int last);

  // Geometry in content coordinates (column 0 starts at x 0, row 0 at y 0).
  std::int64_t ColumnWidth(int column) const;  // as drawn, never negative
  std::int64_t ColumnLeft(int column) const;
  std::int64_t RowHeight() const;              // as drawn, never negative
  std::int64_t ContentWidth() const;
  std::int64_t ContentHeight() const;
  // Memory the column positions take, for the benchmark's report.
  std::size_t LayoutBytes() const { return checkpoints_.capacity() * sizeof(std::int64_t); }

  // The part of a cell that is on view, in viewport coordinates.
  std::optional<QRect> VisibleCellRect(int column, int row) const;
  // The cell under a viewport point.
  std::optional<GridCell> CellAt(QPoint viewportPoint) const;

  GridCell CurrentCell() const { return current_; }
  // Makes a non-fixed cell current and scrolls it into view; raises nothing.
  void SetCurrentCell(GridCell cell);
  void ScrollToCell(GridCell cell);

  // Scroll offsets of the non-fixed part, in pixels.
  std::int64_t HorizontalOffset() const;
  std::int64_t VerticalOffset() const;

 Q_SIGNALS:
  // The user made `cell` current: a mouse button pressed on a non-fixed cell
  // was released, or the keyboard moved the current cell.
  void CellClicked(int column, int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  static constexpr int kBlockShift = 6;  // one checkpoint per 64 columns
  static constexpr int kBlockSize = 1 << kBlockShift;
  using BlockPitches = std::array<std::int64_t, kBlockSize>;

  std::int64_t Pitch(int column) const;  // width plus grid line
  // Pitches of the columns of block `block`; returns how many it has.
  int FillBlockPitches(int block, BlockPitches& out) const;
  std::int64_t RowPitch() const;
  std::int64_t FixedWidth() const;
  std::int64_t FixedHeight() const;
  void EnsureLayout() const;
  void RebuildLayout() const;
  void UpdateScrollBars();
  // Schedules a repaint of the view from column `first` to column `last`
  // (to the view's right edge when `last` is past the last column).
  void UpdateColumns(int first, int last);
  void UpdateCell(GridCell cell);
  std::optional<int> ColumnAtContentX(std::int64_t x) const;
  std::optional<int> RowAtContentY(std::int64_t y) const;
  bool IsSelectable(GridCell cell) const;
  std::optional<GridCell> KeyTarget(const QKeyEvent& event) const;
  int VisibleScrollRows() const;
  void DrawFocusFrame(QPainter& painter, const QRect& cell) const;
  void PaintRegion(QPainter& painter, const QRect& area, int firstColumn, int lastColumn,
                   int firstRow, int lastRow, std::int64_t xShift, std::int64_t yShift) const;

  ChannelGridShape shape_;
  const ChannelGridSource& source_;
  int columnCount_ = kStartColumnCount;
  int rowHeight_ = kStartRowHeight;
  GridCell current_;
  std::optional<Qt::MouseButton> pressedButton_;

  // Prefix sum of column pitches: checkpoints_[b] is the left of column b*64.
  mutable std::vector<std::int64_t> checkpoints_;
  mutable std::int64_t contentWidth_ = 0;
  mutable std::uint64_t layoutKey_ = 0;
  mutable bool layoutValid_ = false;

  // Scroll bars hold ints; offsets beyond their range are scaled.
  std::int64_t hScale_ = 1;
  std::int64_t vScale_ = 1;
};

}  // namespace kestrin
