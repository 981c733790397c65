#include "square1_page.h"

#include <algorithm>

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QShowEvent>

#include "cell_table.h"
#include "channel_display.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "grid_texts.h"
#include "guarded_slot.h"
#include "note_properties_group.h"
#include "part_streams.h"
#include "status_line.h"
#include "write_path.h"

namespace kestrin {

namespace {

constexpr ChannelGridShape kSquare1Shape{kSquare1RowCount, 1, true};
constexpr const char* kSquare1GridName = "Sq1_StrGrid";

// A fixed-pitch font 13 pixels high; where the platform's fixed-pitch font
// spaces its lines wider than that, a smaller size keeps the label's three
// lines inside the band below the grid.
QFont SpaceLabelFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setFamily(QStringLiteral("Courier"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(Square1Page::kSpaceLabelHeight);
  while (font.pixelSize() > 8 &&
         3 * QFontMetrics(font).lineSpacing() > Square1Page::kGridBottomGap) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}

}  // namespace

Square1Page::Square1Page(EditorContext& context, CellTable& cells,
                         const NotePropertiesGroup& noteProperties, QWidget* parent)
    : ChannelPage(Grid::Square1, context, cells, parent),
      noteProperties_(noteProperties),
      Sq1_StrGrid_(new ChannelGrid(kSquare1Shape, *this, this)),
      l_sq1infos_(new QLabel(grid_texts::kSpaceLabelStart, this)) {
  setObjectName(QStringLiteral("T_Square1"));
  Sq1_StrGrid_->setObjectName(QString::fromLatin1(kSquare1GridName));
  l_sq1infos_->setObjectName(QStringLiteral("l_sq1infos"));
  l_sq1infos_->setFont(SpaceLabelFont());
  l_sq1infos_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  connect(Sq1_StrGrid_, &ChannelGrid::CellClicked, this, GuardedSlot([this] { Sq1_StrGridClick(); }));
}

void Square1Page::T_Square1Show() {
  if (!DisplayChannel(Grid::Square1, context_, cells_, view_, *Sq1_StrGrid_)) return;
  ShowSpaceLabel();
  RevealFirstNoteOfNewPart();
}

void Square1Page::RevealFirstNoteOfNewPart() {
  const EditingState& state = context_.state;
  PartKey key{state.currentFileName, state.streamPosition, state.streamLength};
  if (shownPart_ == key) return;
  shownPart_ = std::move(key);
  const auto stream = view_.Stream();
  for (std::size_t k = 0; k < stream.size(); ++k) {
    const auto row = NoteRow(Grid::Square1, stream[k]);
    if (!row) continue;
    ChannelGrid& grid = *Sq1_StrGrid_;
    const int column = static_cast<int>(k) + 1;
    const auto pitch = grid.RowHeight() + ChannelGrid::kGridLineWidth;
    const auto rowsOnView = static_cast<int>((grid.viewport()->height() - pitch) / std::max<std::int64_t>(pitch, 1));
    // From the bottom up to the row half a view above the note: the note
    // lands mid-view, with the notes around it.
    grid.ScrollToCell({column, kSquare1RowCount - 1});
    grid.ScrollToCell({column, std::max(*row - std::max(rowsOnView, 0) / 2, 1)});
    return;
  }
}

void Square1Page::ShowEdits(std::span<const ByteChange> changes, std::optional<std::size_t> clicked) {
  const std::vector<std::size_t> indexes = EditedIndexes(context_.state, kSquare1Stream, changes, clicked);
  if (indexes.empty()) return;
  if (DisplayChannelEdits(Grid::Square1, context_, cells_, view_, *Sq1_StrGrid_, indexes)) ShowSpaceLabel();
}

void Square1Page::ShowSpaceLabel() {
  l_sq1infos_->setText(grid_texts::kSpaceLabelHead + QString::number(Square1Length(context_.state)) +
                       grid_texts::kSpaceLabelMiddle + QString::number(PartLength(context_.state)) +
                       grid_texts::kSpaceLabelTail);
}

void Square1Page::Sq1_StrGridDrawCell(QPainter& painter, int column, int row,
                                      const QRect& rect) const {
  view_.Draw(painter, column, row, rect);
}

void Square1Page::Sq1_StrGridClick() {
  if (!view_.Loaded()) {
    context_.status.Set(grid_texts::kSelectPartFirst);
    return;
  }
  const GridCell cell = Sq1_StrGrid_->CurrentCell();
  const int k = cell.column - 1;
  if (k < 0 || static_cast<std::size_t>(k) >= view_.Stream().size()) return;
  const auto index = static_cast<std::size_t>(k);
  EditingState& state = context_.state;
  const EditPlace place = LoadedPartPlace(context_, kSquare1GridName, cell.column, cell.row);
  if (k == 0) {
    // The engine reads the stream's first byte as note properties; this edit
    // waits for the next write-back.
    const auto changes = RecordEdit(context_, shell_texts::kFirstByteEditSquare1, place, [&] {
      SetStreamByte(state, kSquare1Stream, 0, noteProperties_.ComposedByte());
    });
    ShowEdits(changes, index);
    context_.status.Set(grid_texts::kFirstByteRule);
    return;
  }
  const QString* step = &shell_texts::kNoteEditSquare1;
  std::uint8_t value = Square1NoteForRow(cell.row);
  if (context_.settings.editMode == EditMode::Mute) {
    step = &shell_texts::kMuteEditSquare1;
    value = kSilenceByte;
  }
  if (context_.settings.editMode == EditMode::Property) {
    step = &shell_texts::kPropertyEditSquare1;
    value = noteProperties_.ComposedByte();
  }
  const auto changes = RecordEdit(context_, *step, place, [&] {
    SetStreamByte(state, kSquare1Stream, index, value);
    WriteBackEdits(state);  // a failed verify is not reported from here
  });
  ShowEdits(changes, index);
}

void Square1Page::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Restoring a minimised window is no page change.
  if (!event->spontaneous()) T_Square1Show();
}

void Square1Page::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Sq1_StrGrid_->setGeometry(0, 0, width(), std::max(height() - kGridBottomGap, 0));
  // The label runs along the bottom edge and grows upwards over its three
  // lines, into the band the grid leaves free.
  l_sq1infos_->setGeometry(0, std::max(height() - kGridBottomGap, 0), width(),
                           std::min(kGridBottomGap, height()));
}

}  // namespace kestrin
