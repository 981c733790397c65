#include "channel_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "steady_scroll_bar.h"

namespace kestrin {

namespace {

// Scroll bars take ints; keep their range well inside that.
constexpr std::int64_t kMaxScrollBarRange = std::int64_t{1} << 30;
// Cell rectangles handed to the painter are clamped to this band around the
// viewport: far enough that text anchored at a cell's edge lands where it
// would unclamped whenever it can be seen.
constexpr std::int64_t kFarPixels = std::int64_t{1} << 22;

int ClampToBand(std::int64_t v) {
  return static_cast<int>(std::clamp(v, -kFarPixels, kFarPixels));
}

QRect ClampedRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  const int left = ClampToBand(x);
  const int top = ClampToBand(y);
  const int right = ClampToBand(x + w);
  const int bottom = ClampToBand(y + h);
  return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

}  // namespace

ChannelGrid::ChannelGrid(const ChannelGridShape& shape, const ChannelGridSource& source,
                         QWidget* parent)
    : QAbstractScrollArea(parent), shape_(shape), source_(source) {
  shape_.rowCount = std::max(shape_.rowCount, 1);
  shape_.fixedRows = std::clamp(shape_.fixedRows, 0, 1);
  current_ = GridCell{kFixedColumns, shape_.fixedRows};
  if (!shape_.border) setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  RebuildLayout();
  UpdateScrollBars();
}

void ChannelGrid::SetColumnCount(int count) {
  if (std::max(count, kFixedColumns) == columnCount_) return;
  columnCount_ = std::max(count, kFixedColumns);
  if (columnCount_ > kFixedColumns)
    current_.column = std::clamp(current_.column, kFixedColumns, columnCount_ - 1);
  layoutValid_ = false;  // rebuilt by the next InvalidateLayout or paint
  viewport()->update();
}

void ChannelGrid::SetDefaultRowHeight(int height) {
  if (height == rowHeight_) return;
  rowHeight_ = height;
  layoutValid_ = false;  // scroll ranges follow at the next rebuild
  viewport()->update();
}

void ChannelGrid::InvalidateLayout() {
  RebuildLayout();
  UpdateScrollBars();
  viewport()->update();
}

void ChannelGrid::ColumnWidthsChanged(int first, int last) {
  first = std::max(first, kFixedColumns);
  last = std::min(last, columnCount_ - 1);
  if (first > last) return;
  if (!layoutValid_ || source_.LayoutKey() != layoutKey_) {
    InvalidateLayout();
    return;
  }
  const std::int64_t offsetBefore = HorizontalOffset();
  const int firstBlock = first >> kBlockShift;
  const int lastBlock = last >> kBlockShift;
  const auto blocks = static_cast<int>(checkpoints_.size());
  const std::int64_t oldEnd =
      lastBlock + 1 < blocks ? checkpoints_[static_cast<std::size_t>(lastBlock + 1)] : contentWidth_;
  BlockPitches pitches;
  std::int64_t x = checkpoints_[static_cast<std::size_t>(firstBlock)];
  for (int b = firstBlock; b <= lastBlock; ++b) {
    checkpoints_[static_cast<std::size_t>(b)] = x;
    const int count = FillBlockPitches(b, pitches);
    for (int i = 0; i < count; ++i) x += pitches[static_cast<std::size_t>(i)];
  }
  const std::int64_t shift = x - oldEnd;
  if (shift == 0) {
    UpdateColumns(first, last);
    return;
  }
  for (int b = lastBlock + 1; b < blocks; ++b) checkpoints_[static_cast<std::size_t>(b)] += shift;
  contentWidth_ += shift;
  UpdateScrollBars();
  // A narrower grid can pull the view back: then every column moved.
  if (HorizontalOffset() != offsetBefore) {
    viewport()->update();
  } else {
    UpdateColumns(first, columnCount_);
  }
}

void ChannelGrid::UpdateColumns(int first, int last) {
  const std::int64_t hOff = HorizontalOffset();
  const std::int64_t fw = FixedWidth();
  const std::int64_t left = std::max(ColumnLeft(first) - hOff, fw);
  const std::int64_t width = viewport()->width();
  const std::int64_t right = last >= columnCount_ ? width : std::min(ColumnLeft(last + 1) - hOff, width);
  if (right <= left) return;
  viewport()->update(QRect(QPoint(ClampToBand(left), 0), QSize(ClampToBand(right - left), viewport()->height())));
}

void ChannelGrid::UpdateCell(GridCell cell) {
  if (const auto rect = VisibleCellRect(cell.column, cell.row))
    viewport()->update(rect->adjusted(-kGridLineWidth, -kGridLineWidth, kGridLineWidth, kGridLineWidth));
}

std::int64_t ChannelGrid::ColumnWidth(int column) const {
  if (column < 0 || column >= columnCount_) return 0;
  if (column < kFixedColumns) return kStartColumnWidth;
  return std::max<std::int64_t>(source_.ColumnWidthAt(column), 0);
}

std::int64_t ChannelGrid::Pitch(int column) const { return ColumnWidth(column) + kGridLineWidth; }

std::int64_t ChannelGrid::RowHeight() const { return std::max(rowHeight_, 0); }

std::int64_t ChannelGrid::RowPitch() const { return RowHeight() + kGridLineWidth; }

std::int64_t ChannelGrid::FixedWidth() const { return Pitch(0); }

std::int64_t ChannelGrid::FixedHeight() const { return shape_.fixedRows * RowPitch(); }

int ChannelGrid::FillBlockPitches(int block, BlockPitches& out) const {
  const int first = block << kBlockShift;
  const int count = std::clamp(columnCount_ - first, 0, kBlockSize);
  const std::span<std::int64_t> pitches(out.data(), static_cast<std::size_t>(count));
  int start = 0;
  if (first < kFixedColumns && count > 0) {
    pitches[0] = kStartColumnWidth;
    start = kFixedColumns;
  }
  if (start < count) source_.ColumnWidthsAt(first + start, pitches.subspan(static_cast<std::size_t>(start)));
  for (std::int64_t& p : pitches) p = std::max<std::int64_t>(p, 0) + kGridLineWidth;
  return count;
}

void ChannelGrid::RebuildLayout() const {
  layoutKey_ = source_.LayoutKey();
  const int blocks = ((columnCount_ - 1) >> kBlockShift) + 1;
  checkpoints_.resize(static_cast<std::size_t>(blocks));
  BlockPitches pitches;
  std::int64_t x = 0;
  for (int b = 0; b < blocks; ++b) {
    checkpoints_[static_cast<std::size_t>(b)] = x;
    const int count = FillBlockPitches(b, pitches);
    for (int i = 0; i < count; ++i) x += pitches[static_cast<std::size_t>(i)];
  }
  contentWidth_ = x;
  layoutValid_ = true;
}

void ChannelGrid::EnsureLayout() const {
  if (!layoutValid_ || source_.LayoutKey() != layoutKey_) RebuildLayout();
}

std::int64_t ChannelGrid::ColumnLeft(int column) const {
  EnsureLayout();
  if (column <= 0) return 0;
  if (column >= columnCount_) return contentWidth_;
  const int block = column >> kBlockShift;
  std::int64_t x = checkpoints_[static_cast<std::size_t>(block)];
  BlockPitches pitches;
  FillBlockPitches(block, pitches);
  for (int i = 0; i < (column & (kBlockSize - 1)); ++i) x += pitches[static_cast<std::size_t>(i)];
  return x;
}

std::int64_t ChannelGrid::ContentWidth() const {
  EnsureLayout();
  return contentWidth_;
}

std::int64_t ChannelGrid::ContentHeight() const { return shape_.rowCount * RowPitch(); }

std::optional<int> ChannelGrid::ColumnAtContentX(std::int64_t x) const {
  EnsureLayout();
  if (x < 0 || x >= contentWidth_) return std::nullopt;
  // Every pitch is at least the grid line, so checkpoints strictly ascend.
  const auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), x);
  const auto block = static_cast<int>(it - checkpoints_.begin()) - 1;
  BlockPitches pitches;
  const int count = FillBlockPitches(block, pitches);
  std::int64_t left = checkpoints_[static_cast<std::size_t>(block)];
  int i = 0;
  while (i < count - 1 && left + pitches[static_cast<std::size_t>(i)] <= x) {
    left += pitches[static_cast<std::size_t>(i)];
    ++i;
  }
  return (block << kBlockShift) + i;
}

std::optional<int> ChannelGrid::RowAtContentY(std::int64_t y) const {
  if (y < 0 || y >= ContentHeight()) return std::nullopt;
  return static_cast<int>(y / RowPitch());
}

std::int64_t ChannelGrid::HorizontalOffset() const {
  const std::int64_t max = std::max<std::int64_t>(ContentWidth() - viewport()->width(), 0);
  return std::min(horizontalScrollBar()->value() * hScale_, max);
}

std::int64_t ChannelGrid::VerticalOffset() const {
  const std::int64_t max = std::max<std::int64_t>(ContentHeight() - viewport()->height(), 0);
  return std::min(verticalScrollBar()->value() * vScale_, max);
}

void ChannelGrid::UpdateScrollBars() {
  const QSize size = viewport()->size();
  auto setUp = [](QScrollBar* bar, std::int64_t content, std::int64_t view, std::int64_t fixed,
                  std::int64_t& scale) {
    const std::int64_t max = std::max<std::int64_t>(content - view, 0);
    scale = max / kMaxScrollBarRange + 1;
    bar->setRange(0, static_cast<int>(CeilDiv(max, scale)));
    bar->setPageStep(static_cast<int>(std::max<std::int64_t>((view - fixed) / scale, 1)));
    bar->setSingleStep(static_cast<int>(std::max<std::int64_t>(kStartColumnWidth / scale, 1)));
  };
  setUp(horizontalScrollBar(), ContentWidth(), size.width(), FixedWidth(), hScale_);
  setUp(verticalScrollBar(), ContentHeight(), size.height(), FixedHeight(), vScale_);
}

std::optional<GridCell> ChannelGrid::CellAt(QPoint p) const {
  if (!viewport()->rect().contains(p)) return std::nullopt;
  const std::int64_t x = p.x() < FixedWidth() ? p.x() : p.x() + HorizontalOffset();
  const std::int64_t y = p.y() < FixedHeight() ? p.y() : p.y() + VerticalOffset();
  const auto column = ColumnAtContentX(x);
  const auto row = RowAtContentY(y);
  if (!column || !row) return std::nullopt;
  return GridCell{*column, *row};
}

std::optional<QRect> ChannelGrid::VisibleCellRect(int column, int row) const {
  if (column < 0 || column >= columnCount_ || row < 0 || row >= shape_.rowCount) return std::nullopt;
  const bool fixedColumn = column < kFixedColumns;
  const bool fixedRow = row < shape_.fixedRows;
  const std::int64_t x = ColumnLeft(column) - (fixedColumn ? 0 : HorizontalOffset());
  const std::int64_t y = row * RowPitch() - (fixedRow ? 0 : VerticalOffset());
  const QRect view = viewport()->rect();
  const int fw = ClampToBand(FixedWidth());
  const int fh = ClampToBand(FixedHeight());
  const QRect area(QPoint(fixedColumn ? 0 : fw, fixedRow ? 0 : fh), view.bottomRight());
  const QRect visible = ClampedRect(x, y, ColumnWidth(column), RowHeight()) & area & view;
  if (visible.isEmpty()) return std::nullopt;
  return visible;
}

bool ChannelGrid::IsSelectable(GridCell cell) const {
  return cell.column >= kFixedColumns && cell.column < columnCount_ &&
         cell.row >= shape_.fixedRows && cell.row < shape_.rowCount;
}

void ChannelGrid::SetCurrentCell(GridCell cell) {
  if (!IsSelectable(cell)) return;
  UpdateCell(current_);
  current_ = cell;
  ScrollToCell(cell);
  UpdateCell(current_);
}

void ChannelGrid::ScrollToCell(GridCell cell) {
  auto reveal = [](QScrollBar* bar, std::int64_t scale, std::int64_t offset, std::int64_t start,
                   std::int64_t end, std::int64_t fixed, std::int64_t view, std::int64_t content) {
    const std::int64_t max = std::max<std::int64_t>(content - view, 0);
    std::int64_t next = offset;
    if (end > next + view) next = end - view;
    if (start < next + fixed) next = start - fixed;  // the cell's start wins when it does not fit
    next = std::clamp<std::int64_t>(next, 0, max);
    if (next != offset) bar->setValue(static_cast<int>(next / scale));
  };
  if (cell.column >= kFixedColumns && cell.column < columnCount_) {
    const std::int64_t left = ColumnLeft(cell.column);
    reveal(horizontalScrollBar(), hScale_, HorizontalOffset(), left, left + ColumnWidth(cell.column),
           FixedWidth(), viewport()->width(), ContentWidth());
  }
  if (cell.row >= shape_.fixedRows && cell.row < shape_.rowCount) {
    const std::int64_t top = cell.row * RowPitch();
    reveal(verticalScrollBar(), vScale_, VerticalOffset(), top, top + RowHeight(), FixedHeight(),
           viewport()->height(), ContentHeight());
  }
}

void ChannelGrid::PaintRegion(QPainter& painter, const QRect& area, int firstColumn,
                              int lastColumn, int firstRow, int lastRow, std::int64_t xShift,
                              std::int64_t yShift) const {
  if (area.isEmpty() || firstColumn > lastColumn || firstRow > lastRow) return;
  painter.save();
  painter.setClipRect(area);
  const std::int64_t left = ColumnLeft(firstColumn) + xShift;
  const std::int64_t top = firstRow * RowPitch() + yShift;
  const std::int64_t right = ColumnLeft(lastColumn + 1) + xShift;
  const std::int64_t bottom = (lastRow + 1) * RowPitch() + yShift;
  // The grid lines are whatever the cells leave uncovered.
  painter.fillRect(ClampedRect(left, top, right - left, bottom - top), palette().color(QPalette::Mid));
  const QColor plain = palette().color(QPalette::Base);
  const QColor fixedPlain = palette().color(QPalette::Button);
  const std::int64_t h = RowHeight();
  // Keyboard users see which cell the next key press edits.
  const bool framed = hasFocus() && IsSelectable(current_);
  std::int64_t x = left;
  for (int c = firstColumn; c <= lastColumn; ++c) {
    const std::int64_t w = ColumnWidth(c);
    if (w > 0 && h > 0) {
      std::int64_t y = top;
      for (int r = firstRow; r <= lastRow; ++r, y += RowPitch()) {
        const QRect cell = ClampedRect(x, y, w, h);
        painter.fillRect(cell, (c < kFixedColumns || r < shape_.fixedRows) ? fixedPlain : plain);
        source_.DrawCell(painter, c, r, cell);
        if (framed && c == current_.column && r == current_.row) DrawFocusFrame(painter, cell);
      }
    }
    x += w + kGridLineWidth;
  }
  painter.restore();
}

void ChannelGrid::DrawFocusFrame(QPainter& painter, const QRect& cell) const {
  if (cell.width() < 1 || cell.height() < 1) return;
  // Black and white dashes, 2 pixels wide, inside the cell: whatever the
  // fill, one of the two stands out from it by more than 4.5 to 1.
  constexpr int kWidth = 2;
  constexpr int kDash = 4;
  const int across = std::min({kWidth, cell.width(), cell.height()});
  const QRect top(cell.left(), cell.top(), cell.width(), across);
  const QRect bottom(cell.left(), cell.bottom() - across + 1, cell.width(), across);
  const QRect left(cell.left(), cell.top(), across, cell.height());
  const QRect right(cell.right() - across + 1, cell.top(), across, cell.height());
  for (const QRect& band : {top, bottom, left, right}) painter.fillRect(band, Qt::white);
  for (int x = cell.left(); x <= cell.right(); x += 2 * kDash) {
    const int w = std::min(kDash, cell.right() - x + 1);
    painter.fillRect(QRect(x, top.top(), w, across), Qt::black);
    painter.fillRect(QRect(x, bottom.top(), w, across), Qt::black);
  }
  for (int y = cell.top(); y <= cell.bottom(); y += 2 * kDash) {
    const int h = std::min(kDash, cell.bottom() - y + 1);
    painter.fillRect(QRect(left.left(), y, across, h), Qt::black);
    painter.fillRect(QRect(right.left(), y, across, h), Qt::black);
  }
}

void ChannelGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void ChannelGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void ChannelGrid::paintEvent(QPaintEvent* event) {
  if (!layoutValid_ || source_.LayoutKey() != layoutKey_) {
    RebuildLayout();
    UpdateScrollBars();
  }
  QPainter painter(viewport());
  const QRect view = viewport()->rect();
  const QRect dirty = event->rect() & view;
  painter.fillRect(dirty, palette().color(QPalette::Base));

  const std::int64_t fw = FixedWidth();
  const std::int64_t fh = FixedHeight();
  const std::int64_t hOff = HorizontalOffset();
  const std::int64_t vOff = VerticalOffset();

  // Only the columns and rows that meet the update region.
  int firstColumn = 1;
  int lastColumn = 0;
  if (const auto first = ColumnAtContentX(hOff + std::max<std::int64_t>(fw, dirty.left()))) {
    firstColumn = *first;
    lastColumn = ColumnAtContentX(std::min(hOff + dirty.right(), ContentWidth() - 1)).value_or(firstColumn);
  }
  int firstRow = 1;
  int lastRow = 0;
  if (const auto first = RowAtContentY(vOff + std::max<std::int64_t>(fh, dirty.top()))) {
    firstRow = *first;
    lastRow = RowAtContentY(std::min(vOff + dirty.bottom(), ContentHeight() - 1)).value_or(firstRow);
  }
  const int fixedRowEnd = shape_.fixedRows - 1;
  const int fwi = ClampToBand(fw);
  const int fhi = ClampToBand(fh);
  const QRect scrollArea(QPoint(fwi, fhi), view.bottomRight());
  const QRect columnArea(QPoint(0, fhi), QPoint(fwi - 1, view.bottom()));
  const QRect rowArea(QPoint(fwi, 0), QPoint(view.right(), fhi - 1));
  const QRect corner(QPoint(0, 0), QPoint(fwi - 1, fhi - 1));

  PaintRegion(painter, scrollArea & dirty, firstColumn, lastColumn, firstRow, lastRow, -hOff, -vOff);
  PaintRegion(painter, columnArea & dirty, 0, 0, firstRow, lastRow, 0, -vOff);
  PaintRegion(painter, rowArea & dirty, firstColumn, lastColumn, 0, fixedRowEnd, -hOff, 0);
  PaintRegion(painter, corner & dirty, 0, 0, 0, fixedRowEnd, 0, 0);
}

void ChannelGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void ChannelGrid::scrollContentsBy(int, int) { viewport()->update(); }

void ChannelGrid::mousePressEvent(QMouseEvent* event) {
  pressedButton_.reset();
  const auto cell = CellAt(event->position().toPoint());
  if (!cell || !IsSelectable(*cell)) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  UpdateCell(current_);
  current_ = *cell;
  pressedButton_ = event->button();
  UpdateCell(current_);
  event->accept();
}

void ChannelGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressedButton_ || *pressedButton_ != event->button()) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  pressedButton_.reset();
  event->accept();
  Q_EMIT CellClicked(current_.column, current_.row);
}

int ChannelGrid::VisibleScrollRows() const {
  const std::int64_t rows = (viewport()->height() - FixedHeight()) / RowPitch();
  return static_cast<int>(std::clamp<std::int64_t>(rows, 1, shape_.rowCount));
}

std::optional<GridCell> ChannelGrid::KeyTarget(const QKeyEvent& event) const {
  const int minColumn = kFixedColumns;
  const int maxColumn = columnCount_ - 1;
  const int minRow = shape_.fixedRows;
  const int maxRow = shape_.rowCount - 1;
  if (maxColumn < minColumn || maxRow < minRow) return std::nullopt;
  int c = std::clamp(current_.column, minColumn, maxColumn);
  int r = std::clamp(current_.row, minRow, maxRow);
  const bool control = event.modifiers().testFlag(Qt::ControlModifier);
  switch (event.key()) {
    case Qt::Key_Left: --c; break;
    case Qt::Key_Right: ++c; break;
    case Qt::Key_Up: --r; break;
    case Qt::Key_Down: ++r; break;
    case Qt::Key_PageUp: r -= VisibleScrollRows(); break;
    case Qt::Key_PageDown: r += VisibleScrollRows(); break;
    case Qt::Key_Home:
      c = minColumn;
      if (control) r = minRow;
      break;
    case Qt::Key_End:
      c = maxColumn;
      if (control) r = maxRow;
      break;
    default: return std::nullopt;
  }
  return GridCell{std::clamp(c, minColumn, maxColumn), std::clamp(r, minRow, maxRow)};
}

void ChannelGrid::keyPressEvent(QKeyEvent* event) {
  const auto target = KeyTarget(*event);
  if (!target) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
  if (*target == current_) return;
  SetCurrentCell(*target);
  Q_EMIT CellClicked(current_.column, current_.row);
}

}  // namespace kestrin
