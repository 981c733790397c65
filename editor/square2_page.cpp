#include "square2_page.h"

#include <QShowEvent>

#include "cell_table.h"
#include "channel_display.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "grid_texts.h"
#include "guarded_slot.h"
#include "part_streams.h"
#include "status_line.h"

namespace kestrin {

namespace {

constexpr ChannelGridShape kSquare2Shape{kSquare2RowCount, 0, false};

}  // namespace

Square2Page::Square2Page(EditorContext& context, CellTable& cells, QWidget* parent)
    : ChannelPage(Grid::Square2, context, cells, parent),
      Sq2_StrGrid_(new ChannelGrid(kSquare2Shape, *this, this)) {
  setObjectName(QStringLiteral("T_Square2"));
  Sq2_StrGrid_->setObjectName(QStringLiteral("Sq2_StrGrid"));
  connect(Sq2_StrGrid_, &ChannelGrid::CellClicked, this, GuardedSlot([this] { Sq2_StrGridClick(); }));
}

void Square2Page::T_Square2Show() { DisplayChannel(Grid::Square2, context_, cells_, view_, *Sq2_StrGrid_); }

void Square2Page::ByteChanged(std::size_t index) {
  MarkEdited(context_.state, kSquare2Stream, index);
  DisplayChannelEdit(Grid::Square2, context_, cells_, view_, *Sq2_StrGrid_, index);
}

void Square2Page::Sq2_StrGridDrawCell(QPainter& painter, int column, int row,
                                      const QRect& rect) const {
  view_.Draw(painter, column, row, rect);
}

void Square2Page::Sq2_StrGridClick() {
  if (!view_.Loaded()) {
    context_.status.Set(grid_texts::kSelectPartFirst);
    return;
  }
  const GridCell cell = Sq2_StrGrid_->CurrentCell();
  const auto stream = view_.Stream();
  const int k = cell.column - 1;
  if (!view_.Drawable() || k < 0 || static_cast<std::size_t>(k) >= stream.size() ||
      static_cast<std::size_t>(k) >= cells_.cells.size())
    return;
  if (cells_.cells[static_cast<std::size_t>(k)].kind != ByteKind::Note) return;
  auto& byte = stream[static_cast<std::size_t>(k)];
  RecordEdit(context_, shell_texts::kNoteEditSquare2, [&] {
    byte = Square2Repitch(byte, cell.row);
    ByteChanged(static_cast<std::size_t>(k));  // no write-back: the edit reaches the image with the next one
  });
}

void Square2Page::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) T_Square2Show();
}

void Square2Page::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Sq2_StrGrid_->setGeometry(0, 0, width(), kGridHeight);
}

}  // namespace kestrin
