#pragma once
// Random user actions on the real window with the demo ROM open: edits of
// every kind through the widgets and the pages' handlers, part and song
// changes, saves, undos and redos.
#include <QLineEdit>
#include <random>

#include "editor_settings.h"
#include "undo_fixture.h"

namespace kestrin::testing {

class RandomEdits : public UndoFixture, public ::testing::WithParamInterface<unsigned> {
 protected:
  enum class Action { Square1, Square2, Header, SongField, PartEntry, Part, Song, Save, Undo, Redo };

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
    if (list->count() == 0) return;
    list->setCurrentRow(Random(0, std::min(list->count(), 6) - 1));
    choseAPart = true;
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
    if (list->selectedItems().isEmpty()) {
      list->setCurrentRow(0);
      choseAPart = true;
    }
    auto* box = Find<QLineEdit>("E_Parts");
    box->setText(QString::number(Random(1, 0x30), 16).toUpper());
    QTest::keyClick(box, Qt::Key_Return);
    return true;
  }

  // One random action, in the proportions a user might take them; returns
  // what it was and whether it edited.
  std::pair<Action, bool> RandomAction(bool maySave) {
    choseAPart = false;
    const int pick = Random(0, 99);
    if (pick < 30) return {Action::Square1, EditSquare1()};
    if (pick < 45) return {Action::Square2, EditSquare2()};
    if (pick < 65) return {Action::Header, EditHeader()};
    if (pick < 75) return {Action::SongField, EditSongField()};
    if (pick < 82) return {Action::PartEntry, EditPartEntry()};
    if (pick < 88) {
      ChoosePart();
      return {Action::Part, false};
    }
    if (pick < 92) {
      ChooseSong();
      return {Action::Song, false};
    }
    if (pick < 94 && maySave) {
      Trigger("Save1");
      return {Action::Save, false};
    }
    if (pick < 97) {
      Undo();
      return {Action::Undo, false};
    }
    Redo();
    return {Action::Redo, false};
  }

  std::mt19937 rng{GetParam()};
  // The last action selected a line of the part list, which loads a part.
  bool choseAPart = false;
};

}  // namespace kestrin::testing
