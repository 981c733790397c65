// Undo and redo say where their step was made, in the Edit menu and on the
// status line, and bring the place on view when it belongs to the part (or
// song) on the song page; a step made elsewhere is undone where it is,
// switching no part and no song.
#include <QApplication>
#include <QToolButton>
#include <functional>
#include <utility>
#include <vector>

#include "held_on_screen.h"
#include "status_line.h"
#include "undo_fixture.h"

namespace kestrin {
namespace {

using testing::Bytes;

class UndoPlaceTest : public testing::UndoFixture {
 protected:
  QString StatusText() { return Find<StatusLine>("StatusBar")->Text(); }
  QWidget* CurrentPage() { return Find<QTabWidget>("PC_ChannelSelect")->currentWidget(); }

  // A note column of Square 2 and a row that moves its note.
  GridCell Square2Move() {
    const Bytes square2 = Buffer(1);
    std::size_t k = 0;
    while (k < square2.size() && !(square2[k] >= 0x01 && square2[k] <= 0x7D && square2[k] % 2 == 0)) ++k;
    EXPECT_LT(k, square2.size());
    return {static_cast<int>(k) + 1, (12 - (square2[k] % 24) / 2) == 12 ? 11 : 12};
  }
  // A Square 1 row whose note byte 2 does not hold.
  int Square1Row() { return Buffer(0)[2] == 126 - 2 * 50 ? 51 : 50; }
  QString OneMore(const char* box) {
    return QString::number((Find<QLineEdit>(box)->text().toInt(nullptr, 16) + 1) & 0xFF, 16).toUpper();
  }
};

// What the user sees of the place after an undo of a step made on view.
struct OnView {
  const char* edit;
  std::function<void()> make;
  QString text;
  const char* page;
  const char* focus;  // the box, or the grid whose clicked cell is current and on view
};

TEST_F(UndoPlaceTest, StepOnViewIsNamedAndShownWithItsCell) {
  std::vector<OnView> cases = {
      {"Square 2 click", [this] {
         LoadPart(1);
         ShowPage("T_Square2");
         const GridCell cell = Square2Move();
         ClickCell(Grid("Sq2_StrGrid"), cell.column, cell.row);
       },
       QStringLiteral("note edit on Square 2 (song 01, line 2)"), "T_Square2", "Sq2_StrGrid"},
      {"Tempo of a set 2 song", [this] {
         PickSong(16);  // item "20": "Selected song 11", named "song 20" as in kestrin-rom
         ClickPart(0);
         Type("E_ph1", OneMore("E_ph1"));
       },
       QStringLiteral("Tempo (song 20, line 1)"), "T_Song", "E_ph1"},
      {"part list entry", [this] {
         PickSong(0);
         ClickPart(1);
         TypeAndEnter("E_Parts", QStringLiteral("1F"));
       },
       QStringLiteral("part list entry (song 01, line 2)"), "T_Song", "E_Parts"},
  };
  const std::pair<const char*, const char*> headerBoxes[] = {{"E_ph2", "Part Address"},
                                                             {"E_ph4", "Square2 offset"},
                                                             {"E_ph5", "Triangle offset"},
                                                             {"E_ph6", "Noise offset"},
                                                             {"E_ph7", "DMC offset"}};
  for (const auto& header : headerBoxes) {
    const char* box = header.first;
    cases.push_back({header.second, [this, box] {
                       PickSong(0);
                       ClickPart(1);
                       Type(box, OneMore(box));
                     },
                     QString::fromLatin1(header.second) + QStringLiteral(" (song 01, line 2)"), "T_Song", box});
  }
  const std::pair<const char*, const char*> songBoxes[] = {
      {"E_firstPart", "First part"}, {"E_lastPart", "Last part"}, {"E_loopPart", "Loop part"}};
  for (const auto& [box, step] : songBoxes) {
    cases.push_back({step, [this, box] {
                       PickSong(1);
                       TypeAndEnter(box, OneMore(box));
                     },
                     QString::fromLatin1(step) + QStringLiteral(" (song 02)"), "T_Song", box});
  }
  // Each mode of the Square 1 grid names its own step.
  const std::pair<const char*, const char*> modes[] = {
      {"NoteButton", "note"}, {"MuteButton", "mute"}, {"PropButton", "property"}};
  for (const auto& [button, step] : modes) {
    cases.push_back({button, [this, button] {
                       LoadPart(1);
                       ShowPage("T_Square1");
                       QTest::mouseClick(Find<QToolButton>(button), Qt::LeftButton);
                       ClickCell(Grid("Sq1_StrGrid"), 3, Square1Row());
                     },
                     QString::fromLatin1(step) + QStringLiteral(" edit on Square 1 (song 01, line 2)"), "T_Square1",
                     "Sq1_StrGrid"});
  }
  for (const OnView& c : cases) {
    SCOPED_TRACE(c.edit);
    Open();
    c.make();
    ASSERT_EQ(Stack().count(), 1);
    const Bytes edited = Image();
    EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo ") + c.text);
    const bool grid = QByteArray(c.focus).endsWith("StrGrid");
    const GridCell made = grid ? Find<ChannelGrid>(c.focus)->CurrentCell() : GridCell{};
    // Away from the place: another page, and the grid's current cell moved
    // and the focus in the note properties (beside the pages, so no change
    // of page moves it), or the song page's focus on its list
    if (grid) {
      Find<ChannelGrid>(c.focus)->SetCurrentCell({1, 1});
      Find<QWidget>("CB_Instruments")->setFocus();
    } else {
      Find<QWidget>("LB_Parts")->setFocus();
    }
    ShowPage("T_Options");

    Undo();
    EXPECT_EQ(Image(), original);
    EXPECT_EQ(StatusText(), QStringLiteral("Undone: ") + c.text);
    EXPECT_EQ(Action("Redo1")->text(), QStringLiteral("&Redo ") + c.text);
    EXPECT_EQ(CurrentPage()->objectName(), QString::fromLatin1(c.page));
    QApplication::processEvents();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(c.focus));
    if (grid) {
      auto* shown = Find<ChannelGrid>(c.focus);
      EXPECT_EQ(shown->CurrentCell(), made);
      EXPECT_TRUE(shown->VisibleCellRect(made.column, made.row).has_value()) << "cell not scrolled into view";
    }

    ShowPage("T_Options");
    Redo();
    EXPECT_EQ(Image(), edited);
    EXPECT_EQ(StatusText(), QStringLiteral("Redone: ") + c.text);
    EXPECT_EQ(CurrentPage()->objectName(), QString::fromLatin1(c.page));
  }
}

// Undoing a part list entry far down a long list scrolls the list to its
// line, though the selected line is another one.
TEST_F(UndoPlaceTest, UndoneListEntryIsScrolledIntoView) {
  PickSong(0);
  const int first = Find<QLineEdit>("E_firstPart")->text().toInt(nullptr, 16);
  TypeAndEnter("E_lastPart", QString::number(first + 19, 16).toUpper());
  auto* list = Find<QListWidget>("LB_Parts");
  ASSERT_EQ(list->count(), 20);
  list->scrollToBottom();
  ClickPart(19);
  TypeAndEnter("E_Parts", QStringLiteral("1F"));
  list->scrollToTop();
  ClickPart(0);
  ShowPage("T_Options");
  const QRect last = list->visualItemRect(list->item(19));
  ASSERT_FALSE(list->viewport()->rect().intersects(last)) << "the list is not long enough to scroll";

  Undo();
  EXPECT_EQ(StatusText(), QStringLiteral("Undone: part list entry (song 01, line 20)"));
  EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(19))));
}

// A step made elsewhere: the song page and the loaded part stay as they are.
struct Elsewhere {
  const char* edit;
  std::function<void()> make;
  std::function<void()> leave;
  QString text;
};

TEST_F(UndoPlaceTest, StepElsewhereIsUndoneInPlaceAndNamedOnly) {
  const Elsewhere cases[] = {
      {"Square 1 click, then another song's part", [this] {
         LoadPart(1);
         ShowPage("T_Square1");
         ClickCell(Grid("Sq1_StrGrid"), 3, Square1Row());
       },
       [this] {
         ShowPage("T_Song");
         PickSong(1);
         ClickPart(0);
       },
       QStringLiteral("note edit on Square 1 (song 01, line 2)")},
      // The song's first line is part 0 of its set: still a part, not the song.
      {"Square 1 click, then another part of the song", [this] {
         LoadPart(0);
         ShowPage("T_Square1");
         ClickCell(Grid("Sq1_StrGrid"), 3, Square1Row());
       },
       [this] {
         ShowPage("T_Song");
         LoadPart(1);
       },
       QStringLiteral("note edit on Square 1 (song 01, line 1)")},
      {"First part, then another song", [this] {
         PickSong(0);
         TypeAndEnter("E_firstPart", OneMore("E_firstPart"));
       },
       [this] { PickSong(1); }, QStringLiteral("First part (song 01)")},
  };
  for (const Elsewhere& c : cases) {
    SCOPED_TRACE(c.edit);
    Open();
    c.make();
    c.leave();
    ShowPage("T_Options");
    const auto* list = Find<QListWidget>("LB_Parts");
    const int line = list->currentRow();
    const int song = Find<QComboBox>("CB_SongSelect")->currentIndex();
    const std::int32_t header = State().headerPosition;
    const QString firstPart = Find<QLineEdit>("E_firstPart")->text();
    EXPECT_EQ(Action("Undo1")->text(), QStringLiteral("&Undo ") + c.text);

    Undo();
    EXPECT_EQ(Image(), original);
    EXPECT_EQ(StatusText(), QStringLiteral("Undone: ") + c.text);
    EXPECT_EQ(CurrentPage()->objectName(), QStringLiteral("T_Options"));
    EXPECT_EQ(Find<QComboBox>("CB_SongSelect")->currentIndex(), song);
    EXPECT_EQ(list->currentRow(), line);
    EXPECT_EQ(State().headerPosition, header);
    EXPECT_EQ(Find<QLineEdit>("E_firstPart")->text(), firstPart);

    Redo();
    EXPECT_EQ(StatusText(), QStringLiteral("Redone: ") + c.text);
    EXPECT_EQ(CurrentPage()->objectName(), QStringLiteral("T_Options"));
  }
}

// Two parts may play the same notes (one address in both headers). Undoing
// a step of the other one changes the notes on view, and the grid on view
// shows the change though its part is not the step's.
TEST_F(UndoPlaceTest, StepOfAnotherPartWithTheSameNotesIsRedrawnOnView) {
  LoadPart(1);
  const QString address = Find<QLineEdit>("E_ph2")->text();
  LoadPart(0);
  Type("E_ph2", address);
  LoadPart(1);
  ShowPage("T_Square1");
  ClickCell(Grid("Sq1_StrGrid"), 3, Square1Row());
  ShowPage("T_Song");
  LoadPart(0);
  ASSERT_EQ(Find<QLineEdit>("E_ph2")->text(), address);
  ShowPage("T_Square1");
  QWidget& view = *Grid("Sq1_StrGrid").viewport();
  const QImage edited = HeldOnScreen(window, view);

  Undo();
  EXPECT_EQ(StatusText(), QStringLiteral("Undone: note edit on Square 1 (song 01, line 2)"));
  const QImage undone = HeldOnScreen(window, view);
  EXPECT_NE(undone, edited);
  EXPECT_EQ(undone, view.grab().toImage().convertToFormat(undone.format()));
}

}  // namespace
}  // namespace kestrin
