#include "square1_page.h"

namespace kestrin {

Square1Page::Square1Page(EditorContext& context, CellTable& cells,
                         const NotePropertiesGroup& noteProperties, QWidget* parent)
    : QWidget(parent), context_(context), cells_(cells), noteProperties_(noteProperties) {
  setObjectName(QStringLiteral("T_Square1"));
}

}  // namespace kestrin
