// Tab and Shift+Tab through the page: the song properties, the part header,
// the song choice, then the part list.
#include <QApplication>

#include "song_page_fixture.h"

namespace kestrin {
namespace {

using PageTabOrder = SongPageTest;

const QStringList kOrder = {"E_firstPart", "E_lastPart", "E_loopPart", "E_ph1",        "E_ph2",
                            "E_ph4",       "E_ph5",      "E_ph6",      "E_ph7",        "CB_SongSelect",
                            "LB_Parts",    "E_Parts"};

// The named control that holds the focus; a combo box's inner text field
// counts as the combo box.
QString FocusedName() {
  QWidget* focused = QApplication::focusWidget();
  while (focused != nullptr && focused->objectName().isEmpty()) focused = focused->parentWidget();
  return focused == nullptr ? QString() : focused->objectName();
}

TEST_F(PageTabOrder, TabWalksTheGroupsInTheirOrderAndComesRound) {
  ActivatePage();
  Box("E_firstPart")->setFocus();
  ASSERT_EQ(FocusedName(), kOrder.front());
  QStringList visited{FocusedName()};
  for (int i = 0; i < kOrder.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << FocusedName();
  }
  EXPECT_EQ(visited, kOrder + QStringList{kOrder.front()});
}

TEST_F(PageTabOrder, ShiftTabWalksBack) {
  ActivatePage();
  Box("E_Parts")->setFocus();
  QStringList visited{FocusedName()};
  for (int i = 1; i < kOrder.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    visited << FocusedName();
  }
  QStringList reversed(kOrder.rbegin(), kOrder.rend());
  EXPECT_EQ(visited, reversed);
}

}  // namespace
}  // namespace kestrin
