#include "song_page.h"

namespace kestrin {

SongPage::SongPage(EditorContext& context, QWidget* parent) : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("T_Song"));
}

}  // namespace kestrin
