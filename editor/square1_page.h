#pragma once
// The page "Square 1": the full piano-roll grid of stream 1 and the label
// with the available space.

#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "byte_change.h"
#include "channel_page.h"
#include "editing_state.h"

class QLabel;

namespace kestrin {

struct EditorContext;
struct CellTable;
class NotePropertiesGroup;

class Square1Page : public ChannelPage {
  Q_OBJECT
 public:
  // The grid's bottom edge stays this far above the page's bottom edge; the
  // space label runs along that edge.
  static constexpr int kGridBottomGap = 42;
  static constexpr int kSpaceLabelHeight = 13;

  Square1Page(EditorContext& context, CellTable& cells, const NotePropertiesGroup& noteProperties,
              QWidget* parent = nullptr);

  // Decodes the Square 1 edit buffer into the per-cell tables and repaints.
  void T_Square1Show();
  void Sq1_StrGridDrawCell(QPainter& painter, int column, int row, const QRect& rect) const;
  // Edits the grid's current cell.
  void Sq1_StrGridClick();
  // Bytes of the Square 1 edit buffer changed by other means (an undo, a
  // redo, a write-back): the display updates the cells `changes` names.
  void ShowChanges(std::span<const ByteChange> changes) { ShowEdits(changes, std::nullopt); }

  ChannelGrid& Grid() const { return *Sq1_StrGrid_; }
  // The text the grid draws in a cell.
  QString CellText(int column, int row) const { return view_.Text(column, row); }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DrawCell(QPainter& painter, int column, int row, const QRect& rect) const override {
    Sq1_StrGridDrawCell(painter, column, row, rect);
  }

  // The display after the write path made `changes` (and the click on
  // cell `clicked`, changed or not), as the whole display would leave it.
  void ShowEdits(std::span<const ByteChange> changes, std::optional<std::size_t> clicked);
  void ShowSpaceLabel();
  // The first display of a part just loaded brings its first note into
  // view; displays of the same part keep the scroll position.
  void RevealFirstNoteOfNewPart();

  // What tells one loaded part from another: the file and the places and
  // lengths of its streams.
  struct PartKey {
    std::string file;
    std::array<std::int32_t, kStreamCount> position{};
    std::array<std::int32_t, kStreamCount> length{};
    friend bool operator==(const PartKey&, const PartKey&) = default;
  };
  std::optional<PartKey> shownPart_;

  const NotePropertiesGroup& noteProperties_;
  ChannelGrid* Sq1_StrGrid_;
  QLabel* l_sq1infos_;
};

}  // namespace kestrin
