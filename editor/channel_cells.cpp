#include "channel_cells.h"

#include <QPainter>
#include <QRect>
#include <algorithm>

#include "cell_table.h"
#include "channel_grid.h"
#include "column_width.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "header_text.h"
#include "note_shading.h"
#include "qt_color_word.h"

namespace kestrin {

namespace {

// Cell texts sit this far right of and below the cell's top-left corner.
constexpr int kTextLeft = 4;
constexpr int kTextTop = 1;

// Cell texts are black, as on the platform the layout was made for: the
// fills are the editor's own fixed colours, so the palette's text colour
// (light grey under a dark desktop theme) would vanish on them.
const QColor kCellTextColor(Qt::black);

}  // namespace

int StreamOf(Grid grid) { return grid == Grid::Square1 ? kSquare1Stream : kSquare2Stream; }

ChannelCells::ChannelCells(Grid grid, const EditorContext& context, const CellTable& cells)
    : grid_(grid), context_(context), cells_(cells) {}

bool ChannelCells::Loaded() const {
  return context_.state.partLoaded && context_.state.channels.has_value();
}

bool ChannelCells::Drawable() const { return Loaded() && cells_.builtFor == grid_; }

std::span<const std::uint8_t> ChannelCells::Stream() const {
  if (!Loaded()) return {};
  return context_.state.channels->edit[static_cast<std::size_t>(StreamOf(grid_))];
}

const CellRecord* ChannelCells::Record(int column) const {
  if (!Drawable() || column < 1) return nullptr;
  const auto k = static_cast<std::size_t>(column - 1);
  if (k >= cells_.cells.size() || k >= Stream().size()) return nullptr;
  return &cells_.cells[k];
}

std::int64_t ChannelCells::ColumnWidth(int column) const {
  const CellRecord* record = Record(column);
  if (record == nullptr) return ChannelGrid::kStartColumnWidth;
  const EditorSettings& s = context_.settings;
  return ColumnDrawWidth(grid_, *record, s.noteLengthUnit, s.propCaseLength);
}

void ChannelCells::ColumnWidths(int first, std::span<std::int64_t> out) const {
  if (!Drawable()) {
    std::fill(out.begin(), out.end(), std::int64_t{ChannelGrid::kStartColumnWidth});
    return;
  }
  const EditorSettings& s = context_.settings;
  const auto records = static_cast<std::int64_t>(std::min(cells_.cells.size(), Stream().size()));
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::int64_t k = first - 1 + static_cast<std::int64_t>(i);
    out[i] = (k < 0 || k >= records)
                 ? ChannelGrid::kStartColumnWidth
                 : ColumnDrawWidth(grid_, cells_.cells[static_cast<std::size_t>(k)], s.noteLengthUnit,
                                   s.propCaseLength);
  }
}

std::uint64_t ChannelCells::LayoutKey() const {
  if (!Drawable()) return 0;
  // Square 1 property columns follow the property case length at drawing
  // time; everything else only changes through a display.
  const auto prop = grid_ == Grid::Square1 ? static_cast<std::uint32_t>(context_.settings.propCaseLength)
                                           : std::uint32_t{0};
  return (std::uint64_t{1} << 63) | (static_cast<std::uint64_t>(cells_.cells.size()) << 32) | prop;
}

QString ChannelCells::Text(int column, int row) const {
  if (!Drawable()) return {};
  if (column == 0) return QString::fromLatin1(RowLabel(grid_, row));
  const CellRecord* record = Record(column);
  if (record == nullptr) return {};
  if (row == 0) {
    const auto width = static_cast<std::int32_t>(ColumnWidth(column));
    return QString::fromStdString(HeaderText(width, context_.settings.noteLengthUnit));
  }
  switch (record->kind) {
    case ByteKind::Property:
      if (grid_ == Grid::Square1)
        return QString::number(Stream()[static_cast<std::size_t>(column - 1)], 16).toUpper();
      return {};
    case ByteKind::Note:
      return record->noteRow == row ? QString::number(record->octave) : QString();
    case ByteKind::Silence:
    case ByteKind::End:
    case ByteKind::Other:
      break;
  }
  return {};
}

void ChannelCells::Draw(QPainter& painter, int column, int row, const QRect& rect) const {
  if (!Drawable()) return;
  const EditorSettings& s = context_.settings;
  ColorWord fill = s.notesIndexColor;
  if (column != 0 && row != 0) {
    const CellRecord* record = Record(column);
    if (record == nullptr) return;
    switch (record->kind) {
      case ByteKind::Property:
        fill = s.notePropertiesColor;
        break;
      case ByteKind::Note:
        fill = record->noteRow == row
                   ? ShadedNoteColor(record->octave, s.pitchLightIntensity, s.noteColor, s.emptyCaseColor)
                   : s.emptyCaseColor;
        break;
      case ByteKind::Silence:
        fill = grid_ == Grid::Square1 ? s.silenceColor : (s.emptyCaseColor & s.silenceColor);
        break;
      case ByteKind::End:
        fill = s.loopEndColor;
        break;
      case ByteKind::Other:
        return;  // the grid's own background stays
    }
  }
  const QColor fillColor = ToQColor(fill);
  painter.fillRect(rect, fillColor);
  const QString text = Text(column, row);
  if (text.isEmpty()) return;
  const QRect textRect(QPoint(rect.left() + kTextLeft, rect.top() + kTextTop), rect.bottomRight());
  if (textRect.isEmpty()) return;
  painter.setPen(kCellTextColor);
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

}  // namespace kestrin
