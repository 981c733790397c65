#pragma once
// The page "Square 2": a one-octave grid of stream 2 in which a click moves
// a note to another pitch of its octave.

#include <QString>
#include <cstddef>
#include <QWidget>

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
  // Byte `index` of the Square 2 edit buffer was just changed, and nothing
  // else since the last display: marks it for the write-back and updates
  // the display for it alone. Whoever changed bytes without naming them
  // runs T_Square2Show instead.
  void ByteChanged(std::size_t index);

  ChannelGrid& Grid() const { return *Sq2_StrGrid_; }
  QString CellText(int column, int row) const { return view_.Text(column, row); }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DrawCell(QPainter& painter, int column, int row, const QRect& rect) const override {
    Sq2_StrGridDrawCell(painter, column, row, rect);
  }

  ChannelGrid* Sq2_StrGrid_;
};

}  // namespace kestrin
