#pragma once
// A song page on its own, wired to a made-up image, driven through its real
// widgets.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <vector>

#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "fake_dialog_service.h"
#include "qstring_printer.h"
#include "rom_builder.h"
#include "song_list.h"
#include "song_page.h"
#include "status_line.h"

namespace kestrin {

class SongPageTest : public ::testing::Test {
 protected:
  SongPageTest() { page.show(); }
  // Shows the page in `font` from the start: the groups grow for a wide
  // font when first shown and never shrink again.
  explicit SongPageTest(const QFont& font) {
    page.setFont(font);
    page.show();
  }

  void LoadImage(const demo::RomBuilder& builder) {
    state.romImage = builder.Image();
    state.romSize = kRomSize;
    state.fileLoaded = true;
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    auto* widget = page.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QComboBox* Songs() { return Find<QComboBox>("CB_SongSelect"); }
  QListWidget* Parts() { return Find<QListWidget>("LB_Parts"); }
  QLineEdit* Box(const char* name) { return Find<QLineEdit>(name); }

  // Opens the drop-down list and clicks the item at `position`.
  void PickSong(int position) {
    QComboBox* songs = Songs();
    QTest::mouseClick(songs, Qt::LeftButton, {}, ArrowPoint());
    QAbstractItemView* list = songs->view();
    ASSERT_TRUE(list->isVisible()) << "the drop-down list did not open";
    const QModelIndex item = list->model()->index(position, 0);
    // Away from the list's ends, where scroll arrows may cover it.
    list->scrollTo(item, QAbstractItemView::PositionAtCenter);
    QCoreApplication::processEvents();
    const QPoint at = list->visualRect(item).center();
    // A release close to where the press opened the list is taken as the
    // end of that press; a user moves over to the item first.
    QTest::mouseMove(list->viewport(), QPoint(at.x() - 40, at.y()));
    QTest::mouseMove(list->viewport(), at);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    ASSERT_FALSE(list->isVisible()) << "the drop-down list stayed open";
  }

  // Opens the drop-down list from the keyboard, walks to `position` with the
  // arrow keys and takes the item with Enter.
  void PickSongByKeys(int position) {
    QComboBox* songs = Songs();
    songs->setFocus();
    QTest::keyClick(songs, Qt::Key_Down, Qt::AltModifier);
    QAbstractItemView* list = songs->view();
    ASSERT_TRUE(list->isVisible()) << "the drop-down list did not open";
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < position; ++i) QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_FALSE(list->isVisible()) << "the drop-down list stayed open";
  }

  // Makes the page the active window, so that focus moves as for a user.
  void ActivatePage() {
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
  }

  // A point on the drop-down's arrow button.
  QPoint ArrowPoint() {
    QComboBox* songs = Songs();
    return QPoint(songs->width() - 6, songs->height() / 2);
  }

  static int PositionOf(std::string_view text) {
    for (std::size_t i = 0; i < kSongList.size(); ++i) {
      if (kSongList[i].text == text) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no song item " << text;
    return -1;
  }

  // Replaces the box's text by typing, as a user who selected it all.
  void Type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(box, Qt::Key_Delete);
    } else {
      QTest::keyClicks(box, text);
    }
  }
  void TypeAndEnter(QLineEdit* box, const QString& text) {
    Type(box, text);
    QTest::keyClick(box, Qt::Key_Return);
  }

  void ClickPart(int row) {
    QListWidget* list = Parts();
    ASSERT_LT(row, list->count());
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  }

  std::uint8_t ImageAt(std::int32_t offset) const {
    return state.romImage[static_cast<std::size_t>(offset)];
  }

  QStringList ListLines() {
    QStringList lines;
    for (int i = 0; i < Parts()->count(); ++i) lines << Parts()->item(i)->text();
    return lines;
  }

  EditingState state;
  EditorSettings settings;
  testing::FakeDialogService dialogs;
  StatusLine status;
  EditorContext context{state, settings, dialogs, status};
  SongPage page{context};
};

// File offsets of a song's three bytes: the first-part, last-part and
// loop-part tables of a set stand 15 bytes apart.
inline std::int32_t FirstPartAt(SongSet set, int index) {
  return (set == SongSet::One ? 0x3887C : 0x3953F) + index;
}
inline std::int32_t LastPartAt(SongSet set, int index) { return FirstPartAt(set, index) + 15; }
inline std::int32_t LoopPartAt(SongSet set, int index) { return FirstPartAt(set, index) + 30; }
// File offset of the part table byte of part number `part`.
inline std::int32_t PartTableAt(SongSet set, int part) {
  return (set == SongSet::One ? 0x38750 : 0x39410) + part;
}

}  // namespace kestrin
