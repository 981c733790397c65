#pragma once
// The page "Square 1": the full piano-roll grid of stream 1 and the label
// with the available space.

#include <QWidget>

namespace kestrin {

struct EditorContext;
struct CellTable;
class NotePropertiesGroup;

class Square1Page : public QWidget {
  Q_OBJECT
 public:
  Square1Page(EditorContext& context, CellTable& cells, const NotePropertiesGroup& noteProperties,
              QWidget* parent = nullptr);

 private:
  EditorContext& context_;
  CellTable& cells_;
  const NotePropertiesGroup& noteProperties_;
};

}  // namespace kestrin
