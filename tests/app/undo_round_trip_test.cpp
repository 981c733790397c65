// The history's round trip: from the demo ROM, hundreds of random edits of
// every kind, across songs and parts, with part changes, saves and a few
// undos and redos between them. Undoing everything gives the opened file
// back byte for byte, and a save then stores nothing else; redoing
// everything gives the edited image again.
#include <QLineEdit>
#include <random>

#include "editor_settings.h"
#include "undo_fixture.h"

namespace kestrin {
namespace {

using testing::Bytes;

class UndoRoundTripTest : public testing::UndoFixture, public ::testing::WithParamInterface<unsigned> {
 protected:
  int Random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
  QString RandomHex(int maxDigits) {
    const int digits = Random(1, maxDigits);
    QString text;
    for (int i = 0; i < digits; ++i) text += QString::number(Random(0, 15), 16).toUpper();
    return text;
  }

  void ChooseSong() { PickSong(Random(0, 25)); }
  void ChoosePart() {
    auto* list = Find<QListWidget>("LB_Parts");
    if (list->count() > 0) list->setCurrentRow(Random(0, std::min(list->count(), 6) - 1));
  }

  bool EditSquare1() {
    if (!State().partLoaded || !State().channels) return false;
    auto* page = Find<Square1Page>("T_Square1");
    page->T_Square1Show();
    const auto length = static_cast<int>(Buffer(0).size());
    if (length == 0) return false;
    window.Settings().editMode = static_cast<EditMode>(Random(0, 2));
    Find<QComboBox>("CB_Instruments")->setCurrentIndex(Random(0, 7));
    Find<QComboBox>("CB_NoteLength")->setCurrentIndex(Random(0, 12));
    // Column 1 (the first byte) now and then, else anywhere.
    const int column = Random(0, 5) == 0 ? 1 : Random(1, std::min(length, 40));
    page->Grid().SetCurrentCell({column, Random(1, 62)});
    page->Sq1_StrGridClick();
    return true;
  }

  bool EditSquare2() {
    if (!State().partLoaded || !State().channels) return false;
    auto* page = Find<Square2Page>("T_Square2");
    page->T_Square2Show();
    const Bytes stream = Buffer(1);
    std::vector<int> notes;
    for (std::size_t k = 0; k < stream.size() && k < 40; ++k) {
      if (stream[k] >= 0x01 && stream[k] <= 0x7D) notes.push_back(static_cast<int>(k));
    }
    if (notes.empty()) return false;
    const int k = notes[static_cast<std::size_t>(Random(0, static_cast<int>(notes.size()) - 1))];
    page->Grid().SetCurrentCell({k + 1, Random(0, 12)});
    page->Sq2_StrGridClick();
    return true;
  }

  bool EditHeader() {
    if (!State().partLoaded) return false;
    static const char* const kBoxes[] = {"E_ph1", "E_ph2", "E_ph4", "E_ph5", "E_ph6", "E_ph7"};
    const int box = Random(0, 5);
    // Keystrokes of one box merge; now and then the user leaves the box.
    if (Random(0, 2) == 0) window.History().EndTyping();
    Find<QLineEdit>(kBoxes[box])->setText(RandomHex(box == 1 ? 4 : 2));
    return true;
  }

  bool EditSongField() {
    static const char* const kBoxes[] = {"E_firstPart", "E_lastPart", "E_loopPart"};
    auto* box = Find<QLineEdit>(kBoxes[Random(0, 2)]);
    box->setText(QString::number(Random(0, 12), 16).toUpper());
    QTest::keyClick(box, Qt::Key_Return);
    return true;
  }

  bool EditPartEntry() {
    auto* list = Find<QListWidget>("LB_Parts");
    if (list->count() == 0) return false;
    if (list->selectedItems().isEmpty()) list->setCurrentRow(0);
    auto* box = Find<QLineEdit>("E_Parts");
    box->setText(QString::number(Random(1, 0x30), 16).toUpper());
    QTest::keyClick(box, Qt::Key_Return);
    return true;
  }

  std::mt19937 rng{GetParam()};
};

TEST_P(UndoRoundTripTest, UndoAllGivesTheOpenedFileAndRedoAllTheEditedImage) {
  ChooseSong();
  ChoosePart();
  int edits = 0;
  int saves = 0;
  while (edits < 500) {
    const int action = Random(0, 99);
    if (action < 30) {
      edits += EditSquare1();
    } else if (action < 45) {
      edits += EditSquare2();
    } else if (action < 65) {
      edits += EditHeader();
    } else if (action < 75) {
      edits += EditSongField();
    } else if (action < 82) {
      edits += EditPartEntry();
    } else if (action < 88) {
      ChoosePart();
    } else if (action < 92) {
      ChooseSong();
    } else if (action < 94 && saves < 4) {
      Trigger("Save1");
      ++saves;
    } else if (action < 97) {
      Undo();
    } else {
      Redo();
    }
  }
  ASSERT_GT(Stack().count(), 0);

  const Bytes edited = Image();
  const int editedIndex = Stack().index();
  while (Stack().canUndo()) Undo();
  EXPECT_TRUE(Image() == original) << "undoing every step left the image changed";
  // Nothing is left waiting in the buffers either.
  Trigger("Save1");
  EXPECT_TRUE(ReadFile(path) == original) << "a save after undoing everything stored edits";

  while (Stack().index() < editedIndex) Redo();
  EXPECT_TRUE(Image() == edited) << "redoing every step did not give the edited image";
}

INSTANTIATE_TEST_SUITE_P(Seeds, UndoRoundTripTest, ::testing::Range(1u, 13u));

}  // namespace
}  // namespace kestrin
