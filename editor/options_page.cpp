#include "options_page.h"

namespace kestrin {

OptionsPage::OptionsPage(EditorContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("T_Options"));
}

}  // namespace kestrin
