#include "square2_page.h"

#include <QShowEvent>

#include "cell_table.h"
#include "channel_display.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "grid_texts.h"
#include "guarded_slot.h"
#include "status_line.h"
#include "write_path.h"

namespace kestrin {

namespace {

constexpr ChannelGridShape kSquare2Shape{kSquare2RowCount, 0, false};
constexpr const char* kSquare2GridName = "Sq2_StrGrid";

}  // namespace

Square2Page::Square2Page(EditorContext& context, CellTable& cells, QWidget* parent)
    : ChannelPage(Grid::Square2, context, cells, parent),
      Sq2_StrGrid_(new ChannelGrid(kSquare2Shape, *this, this)) {
  setObjectName(QStringLiteral("T_Square2"));
  Sq2_StrGrid_->setObjectName(QString::fromLatin1(kSquare2GridName));
  connect(Sq2_StrGrid_, &ChannelGrid::CellClicked, this, GuardedSlot([this] { Sq2_StrGridClick(); }));
}

void Square2Page::T_Square2Show() { DisplayChannel(Grid::Square2, context_, cells_, view_, *Sq2_StrGrid_); }

void Square2Page::ShowEdits(std::span<const ByteChange> changes, std::optional<std::size_t> clicked) {
  const std::vector<std::size_t> indexes = EditedIndexes(context_.state, kSquare2Stream, changes, clicked);
  if (!indexes.empty()) DisplayChannelEdits(Grid::Square2, context_, cells_, view_, *Sq2_StrGrid_, indexes);
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
  const auto index = static_cast<std::size_t>(k);
  const std::uint8_t moved = Square2Repitch(stream[index], cell.row);
  // No write-back: the edit reaches the image with the next one.
  const auto changes =
      RecordEdit(context_, shell_texts::kNoteEditSquare2, LoadedPartPlace(context_, kSquare2GridName, cell.column, cell.row),
                 [&] { SetStreamByte(context_.state, kSquare2Stream, index, moved); });
  ShowEdits(changes, index);
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
