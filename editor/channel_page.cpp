#include "channel_page.h"

namespace kestrin {

ChannelPage::ChannelPage(Grid grid, EditorContext& context, CellTable& cells, QWidget* parent)
    : QWidget(parent), context_(context), cells_(cells), view_(grid, context, cells) {}

}  // namespace kestrin
