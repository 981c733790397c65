#pragma once
// The page "Square 2": a one-octave grid of stream 2 in which a click moves
// a note to another pitch of its octave.

#include <QString>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <span>

#include "byte_change.h"
#include "channel_page.h"

namespace kestrin {

struct EditorContext;
struct CellTable;

class Square2Page : public ChannelPage {
  Q_OBJECT
 public:
  static constexpr int kGridHeight = 241;

  Square2Page(EditorContext& context, CellTable& cells, QWidget* parent = nullptr);

  // Decodes the Square 2 edit buffer into the per-cell tables and repaints.
  void T_Square2Show();
  void Sq2_StrGridDrawCell(QPainter& painter, int column, int row, const QRect& rect) const;
  // Re-pitches the note in the grid's current column, if there is one.
  void Sq2_StrGridClick();
  // Bytes of the Square 2 edit buffer changed by other means (an undo, a
  // redo, a write-back): the display updates the cells `changes` names.
  void ShowChanges(std::span<const ByteChange> changes) { ShowEdits(changes, std::nullopt); }

  ChannelGrid& Grid() const { return *Sq2_StrGrid_; }
  QString CellText(int column, int row) const { return view_.Text(column, row); }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DrawCell(QPainter& painter, int column, int row, const QRect& rect) const override {
    Sq2_StrGridDrawCell(painter, column, row, rect);
  }

  // The display after the write path made `changes` (and the click on
  // cell `clicked`, changed or not), as the whole display would leave it.
  void ShowEdits(std::span<const ByteChange> changes, std::optional<std::size_t> clicked);

  ChannelGrid* Sq2_StrGrid_;
};

}  // namespace kestrin
