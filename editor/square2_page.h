#pragma once
// The page "Square 2": a one-octave grid of stream 2 in which a click moves
// a note to another pitch of its octave.

#include <QWidget>

namespace kestrin {

struct EditorContext;
struct CellTable;

class Square2Page : public QWidget {
  Q_OBJECT
 public:
  Square2Page(EditorContext& context, CellTable& cells, QWidget* parent = nullptr);

 private:
  EditorContext& context_;
  CellTable& cells_;
};

}  // namespace kestrin
