#include "square2_page.h"

namespace kestrin {

Square2Page::Square2Page(EditorContext& context, CellTable& cells, QWidget* parent)
    : QWidget(parent), context_(context), cells_(cells) {
  setObjectName(QStringLiteral("T_Square2"));
}

}  // namespace kestrin
