#pragma once
// A song page on its own, wired to a made-up image, driven through its real
// widgets.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <vector>

#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "fake_dialog_service.h"
#include "rom_builder.h"
#include "song_list.h"
#include "song_page.h"
#include "status_line.h"

namespace kestrin {

class SongPageTest : public ::testing::Test {
 protected:
  SongPageTest() { page.show(); }

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

  // What the drop-down does when the user picks an item from its list.
  void PickSong(int position) {
    Songs()->setCurrentIndex(position);
    Q_EMIT Songs()->activated(position);
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
