// The main window as it starts, its menu, its status line, its resizing
// rules and closing it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <tuple>

#include "edit_mode_group.h"
#include "editing_state.h"
#include "fake_dialog_service.h"
#include "group_fit.h"
#include "main_window.h"
#include "part_streams.h"
#include "qstring_printer.h"
#include "rom_builder.h"
#include "song_tables.h"
#include "status_line.h"

namespace kestrin {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  template <typename T>
  T* Find(const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Status() { return Find<StatusLine>("StatusBar")->Text(); }

  void ShowAndActivate(QWidget& widget) {
    widget.show();
    QApplication::setActiveWindow(&widget);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
  }

  // The client area (below the menu) in window coordinates.
  QRect ClientRect() {
    QWidget* central = window.centralWidget();
    return QRect(central->pos(), QSize(central->width(), central->height() + window.statusBar()->height()));
  }
  QRect InClient(QWidget* child) {
    const QPoint origin = child->mapTo(&window, QPoint(0, 0)) - ClientRect().topLeft();
    return QRect(origin, child->size());
  }
  void ResizeClient(int width, int height) {
    window.resize(width, height + window.menuBar()->height());
    QCoreApplication::processEvents();
  }
  void ExpectLayout(int W, int H) {
    ASSERT_EQ(ClientRect().size(), QSize(W, H));
    EXPECT_EQ(InClient(Find<QWidget>("PC_ChannelSelect")), QRect(0, 0, W, H - 95));
    EXPECT_EQ(InClient(Find<QWidget>("GroupBox8")), QRect(4, H - 88, 129, 65));
    EXPECT_EQ(InClient(Find<QWidget>("GroupBox7")), QRect(139, H - 88, 190, 65));
    EXPECT_EQ(InClient(Find<QWidget>("StatusBar")), QRect(0, H - 19, W, 19));
    // The grids span their pages: Square 1's down to 42 pixels above the
    // page's bottom, Square 2's 241 high along its top. A page takes its
    // size when it is shown.
    auto* pages = Find<QTabWidget>("PC_ChannelSelect");
    for (const int page : {1, 2, 0}) pages->setCurrentIndex(page);
    const QWidget* square1 = Find<QWidget>("T_Square1");
    EXPECT_EQ(Find<QWidget>("Sq1_StrGrid")->geometry(), QRect(0, 0, square1->width(), square1->height() - 42));
    EXPECT_EQ(Find<QWidget>("Sq2_StrGrid")->geometry(), QRect(0, 0, Find<QWidget>("T_Square2")->width(), 241));
  }

  // The groups grow where a font would cut their captions; a font as narrow
  // as the one the layout was drawn for leaves them at their layout sizes.
  void UseFontThatFitsTheLayout() {
    QFont narrow = window.font();
    narrow.setPixelSize(9);
    for (const char* group : {"GroupBox7", "GroupBox8"}) Find<QWidget>(group)->setFont(narrow);
  }

  // The named control that holds the focus; a combo box's text field and
  // the page control's tab bar count as the control they belong to.
  static QString FocusedName() {
    QWidget* focused = QApplication::focusWidget();
    while (focused != nullptr &&
           (focused->objectName().isEmpty() || focused->objectName().startsWith(QStringLiteral("qt_")))) {
      focused = focused->parentWidget();
    }
    return focused == nullptr ? QString() : focused->objectName();
  }

  // The controls Tab reaches from the page control's tab bar until it comes
  // back there.
  QStringList TabRound() {
    Find<QTabWidget>("PC_ChannelSelect")->tabBar()->setFocus();
    QStringList visited{FocusedName()};
    for (int i = 0; i < 40; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      if (FocusedName() == visited.front()) break;
      visited << FocusedName();
    }
    return visited;
  }

  testing::FakeDialogService dialogs;
  TMainWindow window{dialogs};
};

TEST_F(MainWindowTest, StartsWithCaptionSongPageAndNoteMode) {
  EXPECT_EQ(window.objectName(), QStringLiteral("MainWindow"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor"));
  EXPECT_FALSE(window.windowIcon().isNull());
  EXPECT_EQ(window.pos(), QPoint(283, 228));

  auto* pages = Find<QTabWidget>("PC_ChannelSelect");
  const QStringList names{"T_Song", "T_Square1", "T_Square2", "T_Triangle", "T_Noise", "T_DMC", "T_Options"};
  const QStringList captions{"Song and part selection", "Square 1", "Square 2", "Triangle",
                             "Noise", "DMC", "Options"};
  ASSERT_EQ(pages->count(), names.size());
  for (int i = 0; i < pages->count(); ++i) {
    EXPECT_EQ(pages->widget(i)->objectName(), names[i]);
    EXPECT_EQ(pages->tabText(i), captions[i]);
  }
  EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("T_Song"));
  for (const char* empty : {"T_Triangle", "T_Noise", "T_DMC"})
    EXPECT_TRUE(Find<QWidget>(empty)->children().isEmpty()) << empty;

  EXPECT_TRUE(Find<QToolButton>("NoteButton")->isChecked());
  EXPECT_FALSE(Find<QToolButton>("MuteButton")->isChecked());
  EXPECT_FALSE(Find<QToolButton>("PropButton")->isChecked());
  EXPECT_EQ(Status(), QString());
}

TEST_F(MainWindowTest, EditorSettingsStartWithTheirFixedValues) {
  const EditorSettings& s = window.Settings();
  EXPECT_EQ(s.editMode, EditMode::Note);
  EXPECT_EQ(s.noteLengthUnit, 40);
  EXPECT_EQ(s.currentNoteWidth, 40);
  EXPECT_EQ(s.caseHeight, 16);
  EXPECT_EQ(s.propCaseLength, 40);
  EXPECT_EQ(s.pitchLightIntensity, 20);
  EXPECT_EQ(s.emptyCaseColor, 0xFFFFFFu);
  EXPECT_EQ(s.noteColor, 0x101040u);
  EXPECT_EQ(s.silenceColor, 0xC0C0E0u);
  EXPECT_EQ(s.loopEndColor, 0xB87E48u);
  EXPECT_EQ(s.notePropertiesColor, 0xD08870u);
  EXPECT_EQ(s.notesIndexColor, 0x808080u);
  EXPECT_TRUE(s.askBackup);
  EXPECT_FALSE(window.State().fileLoaded);
  EXPECT_TRUE(window.State().currentFileName.empty());
}

TEST_F(MainWindowTest, NotePropertiesGroupStartsWithItsItems) {
  auto* instruments = Find<QComboBox>("CB_Instruments");
  auto* lengths = Find<QComboBox>("CB_NoteLength");
  const QStringList instrumentItems{"Instr. 8", "Instr. 9", "Instr. A", "Instr. B",
                                    "Instr. C", "Instr. D", "Instr. E", "Instr. F"};
  const QStringList lengthItems{"Undefined / < 0.25", "0.25", "0.5", "0.75 ?", "1", "1.25 ?", "1.50 ?",
                                "1.75 ?", "2", "3", "4", "Undefined / > 4", "8"};
  QStringList shownInstruments, shownLengths;
  for (int i = 0; i < instruments->count(); ++i) shownInstruments << instruments->itemText(i);
  for (int i = 0; i < lengths->count(); ++i) shownLengths << lengths->itemText(i);
  EXPECT_EQ(shownInstruments, instrumentItems);
  EXPECT_EQ(shownLengths, lengthItems);
  EXPECT_EQ(instruments->currentText(), QStringLiteral("Instr. 8"));
  EXPECT_EQ(lengths->currentText(), QStringLiteral("1"));
  EXPECT_TRUE(instruments->isEditable());
  EXPECT_TRUE(lengths->isEditable());
  // Each drop-down list shows all its items without scrolling.
  EXPECT_GE(instruments->maxVisibleItems(), instrumentItems.size());
  EXPECT_GE(lengths->maxVisibleItems(), lengthItems.size());

  auto* group = Find<QGroupBox>("GroupBox7");
  EXPECT_EQ(group->title(), QStringLiteral(" Note Properties Byte "));
  EXPECT_EQ(Find<QGroupBox>("GroupBox8")->title(), QStringLiteral(" Edit Mode "));
  EXPECT_EQ(instruments->geometry().topLeft(), QPoint(72, 16));
  EXPECT_EQ(lengths->geometry().topLeft(), QPoint(72, 40));
  // As wide as the song combo box, and as tall (113 x 21).
  EXPECT_EQ(instruments->size(), QSize(113, 21));
  EXPECT_EQ(lengths->size(), QSize(113, 21));
  EXPECT_EQ(Find<QLabel>("Label12")->text(), QStringLiteral("Instrument"));
  EXPECT_EQ(Find<QLabel>("Label13")->text(), QStringLiteral("Note length"));
  for (const auto& [name, top, box] :
       {std::tuple{"Label12", 20, instruments}, std::tuple{"Label13", 44, lengths}}) {
    // About one line of text high, so the text starts near the label's top.
    auto* label = Find<QLabel>(name);
    EXPECT_EQ(label->pos(), QPoint(8, top)) << name;
    EXPECT_LT(label->height(), 2 * label->fontMetrics().height()) << name;
    // A screen reader names each box by its label.
    EXPECT_EQ(label->buddy(), box) << name;
  }
  EXPECT_EQ(instruments->parentWidget(), group);
}

TEST_F(MainWindowTest, EveryControlUsesTheElevenPixelWindowFont) {
  EXPECT_EQ(window.font().pixelSize(), 11);
  for (const char* name : {"E_ph1", "CB_SongSelect", "CB_Instruments", "Chk_AskBackup", "StatusText"})
    EXPECT_EQ(Find<QWidget>(name)->font().pixelSize(), 11) << name;
}

TEST_F(MainWindowTest, MenuHasFileItemsWithAccessLettersAndTheStandardKeys) {
  auto* file = Find<QMenu>("File1");
  EXPECT_EQ(file->title(), QStringLiteral("&File"));
  EXPECT_EQ(window.menuBar()->objectName(), QStringLiteral("MainMenu1"));
  const QList<QAction*> items = file->actions();
  ASSERT_EQ(items.size(), 5);
  const QStringList names{"Open1", "Save1", "SaveAs1", "N1", "Exit1"};
  const QStringList texts{"&Open", "&Save", "Sa&ve as...", "", "&Exit"};
  // Exit drops unsaved edits without asking: no key reaches it by accident.
  const QList<QKeySequence> keys{QKeySequence(QStringLiteral("Ctrl+O")), QKeySequence(QStringLiteral("Ctrl+S")),
                                 QKeySequence(QStringLiteral("Ctrl+Shift+S")), QKeySequence(), QKeySequence()};
  for (int i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i]->objectName(), names[i]);
    EXPECT_EQ(items[i]->text(), texts[i]);
    EXPECT_EQ(items[i]->shortcut(), keys[i]) << names[i].toStdString();
  }
  EXPECT_TRUE(items[3]->isSeparator());
}

TEST_F(MainWindowTest, StandardKeysRunOpenSaveAndSaveAs) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("demo.nes"));
  ASSERT_TRUE(demo::BuildDemoRom().WriteTo(path.toStdString()));
  ShowAndActivate(window);

  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::No);
  QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(dialogs.OpenRequests().size(), 1u);
  EXPECT_EQ(Status(), path + QStringLiteral(" loaded successfully!"));

  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Status(), QStringLiteral("File saved successfully!"));
  EXPECT_TRUE(dialogs.SaveRequests().empty());

  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(dialogs.SaveRequests().size(), 1u);
}

TEST_F(MainWindowTest, ModeButtonsAndColourSwatchesCarryTooltips) {
  const std::pair<const char*, const char*> tips[] = {
      {"NoteButton", "Note"},
      {"MuteButton", "Rest (silence)"},
      {"PropButton", "Note properties"},
      {"S_NoteColor", "Note color: click to choose a color"},
      {"S_MuteColor", "Silence Color: click to choose a color"},
      {"S_PropColor", "Note Properties Color: click to choose a color"},
      {"S_LoopColor", "Loop/end Color: click to choose a color"},
      {"S_FixedColor", "Notes Index Color: click to choose a color"},
      {"S_BlankColor", "Empty Case Color: click to choose a color"},
  };
  for (const auto& [name, tip] : tips) EXPECT_EQ(Find<QWidget>(name)->toolTip(), QString::fromUtf8(tip)) << name;
}

TEST_F(MainWindowTest, WelcomeAppearsOnFirstActivationOnly) {
  ShowAndActivate(window);
  EXPECT_EQ(Status(), QStringLiteral("Welcome to the Kestrin Music Editor !"));

  Find<StatusLine>("StatusBar")->Set(QStringLiteral("kept"));
  QWidget other;
  ShowAndActivate(other);
  ShowAndActivate(window);
  EXPECT_EQ(Status(), QStringLiteral("kept"));
}

TEST_F(MainWindowTest, MenuHoverTipsLeaveTheStatusLineAlone) {
  Find<StatusLine>("StatusBar")->Set(QStringLiteral("kept"));
  QStatusTipEvent tip(QStringLiteral("hover text"));
  QApplication::sendEvent(&window, &tip);
  QStatusTipEvent blank{QString()};
  QApplication::sendEvent(&window, &blank);
  EXPECT_EQ(Status(), QStringLiteral("kept"));
}

TEST_F(MainWindowTest, ModeButtonsSetModeAndStatusOneDownAtATime) {
  window.show();
  struct Case {
    const char* button;
    EditMode mode;
    QString text;
  };
  const Case cases[] = {{"MuteButton", EditMode::Mute, QStringLiteral("Mute editing mode.")},
                        {"PropButton", EditMode::Property, QStringLiteral("Note properties editing mode.")},
                        {"PropButton", EditMode::Property, QStringLiteral("Note properties editing mode.")},
                        {"NoteButton", EditMode::Note, QStringLiteral("Note editing mode.")}};
  for (const Case& c : cases) {
    Find<StatusLine>("StatusBar")->Set(QString());
    QTest::mouseClick(Find<QToolButton>(c.button), Qt::LeftButton);
    EXPECT_EQ(window.Settings().editMode, c.mode) << c.button;
    EXPECT_EQ(Status(), c.text);
    for (const char* b : {"NoteButton", "MuteButton", "PropButton"})
      EXPECT_EQ(Find<QToolButton>(b)->isChecked(), QByteArray(b) == c.button) << b;
  }
  EXPECT_EQ(Find<QTabWidget>("PC_ChannelSelect")->currentIndex(), 0);
}

TEST_F(MainWindowTest, ModeButtonsAreThirtyTwoPixelSquaresInARow) {
  const QRect expected[] = {{8, 25, 32, 32}, {48, 25, 32, 32}, {88, 25, 32, 32}};
  const char* names[] = {"NoteButton", "MuteButton", "PropButton"};
  for (int i = 0; i < 3; ++i) {
    auto* button = Find<QToolButton>(names[i]);
    EXPECT_EQ(button->geometry(), expected[i]) << names[i];
    EXPECT_EQ(button->iconSize(), QSize(24, 24));
    EXPECT_FALSE(button->icon().isNull());
  }
}

TEST_F(MainWindowTest, StartsWithA600By400ClientLaidOutByTheRules) {
  UseFontThatFitsTheLayout();
  window.show();
  QCoreApplication::processEvents();
  ExpectLayout(600, 400);
  // 305 high page control, groups at 312, status line at 381.
  EXPECT_EQ(InClient(Find<QWidget>("GroupBox7")).top(), 312);
}

TEST_F(MainWindowTest, LargerWindowGrowsOnlyThePageControl) {
  UseFontThatFitsTheLayout();
  window.show();
  ResizeClient(900, 700);
  ExpectLayout(900, 700);
  EXPECT_EQ(InClient(Find<QWidget>("GroupBox8")).bottom() + 1, 700 - 23);
}

TEST_F(MainWindowTest, AWidenedEditModeGroupPushesNotePropertiesAlongWithTheGap) {
  UseFontThatFitsTheLayout();
  window.show();
  // As a wider font would widen it: the 6 pixels between the groups stay.
  const std::pair<int, int> widthThenLeft[] = {{129, 139}, {135, 145}, {150, 160}};
  for (const auto& [width, left] : widthThenLeft) {
    Find<QWidget>("GroupBox8")->setMinimumWidth(width);
    ResizeClient(600 + width, 400);  // a new size places the groups again
    EXPECT_EQ(InClient(Find<QWidget>("GroupBox7")).left(), left) << width;
  }
}

TEST_F(MainWindowTest, CannotBeMadeSmallerThanTheMinimum) {
  UseFontThatFitsTheLayout();
  // With no frame at all, as on a display without a window manager, then
  // framed.
  for (const bool frameless : {true, false}) {
    SCOPED_TRACE(frameless ? "frameless" : "framed");
    window.setWindowFlag(Qt::FramelessWindowHint, frameless);
    if (QWindow* shown = window.windowHandle()) shown->destroy();  // to be framed anew
    window.show();
    window.resize(100, 100);
    QCoreApplication::processEvents();
    EXPECT_GE(window.frameGeometry().width(), 450);
    EXPECT_GE(window.frameGeometry().height(), 400);
    // The layout still follows the rules at the smallest size.
    const QRect client = ClientRect();
    ExpectLayout(client.width(), client.height());
    EXPECT_LE(window.frameGeometry().width(), 450);
    EXPECT_LE(window.frameGeometry().height(), 400);
  }
}

TEST_F(MainWindowTest, TabRunsThroughTheShownPageThenNotePropertiesThenEditMode) {
  ShowAndActivate(window);
  // Of the edit mode buttons Tab reaches the one that is down; the arrow
  // keys move between them.
  const QStringList groups = {"CB_Instruments", "CB_NoteLength", "NoteButton"};
  EXPECT_EQ(TabRound(), QStringList({"PC_ChannelSelect", "E_firstPart", "E_lastPart", "E_loopPart", "E_ph1",
                                     "E_ph2", "E_ph4", "E_ph5", "E_ph6", "E_ph7", "CB_SongSelect", "LB_Parts",
                                     "E_Parts"}) +
                            groups);
  // Passing through the song box with no file open reads no song.
  EXPECT_EQ(Status(), QStringLiteral("Welcome to the Kestrin Music Editor !"));

  auto* pages = Find<QTabWidget>("PC_ChannelSelect");
  pages->setCurrentIndex(6);  // "Options"
  EXPECT_EQ(TabRound(), QStringList({"PC_ChannelSelect", "Chk_AskBackup", "E_PitchLightInt", "E_CaseHeight",
                                     "E_PropCaseLength"}) +
                            groups);
  pages->setCurrentIndex(3);  // "Triangle": nothing on the page
  EXPECT_EQ(TabRound(), QStringList({"PC_ChannelSelect"}) + groups);
}

TEST_F(MainWindowTest, ExitClosesWithoutAQuestion) {
  window.show();
  window.State().fileLoaded = true;  // as if an unsaved image were open
  Find<QAction>("Exit1")->trigger();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(MainWindowTest, ShuttingDownReleasesWhatWasLoadedAndMayRunTwice) {
  // A file open, a song read and a part copied into the edit buffers.
  demo::RomBuilder rom;
  const int part = rom.AddPart(SongSet::One, {});
  rom.SetSong(SongSet::One, 1, part, part, part);
  EditingState& state = window.State();
  state.romImage = rom.Image();
  state.romSize = 0x60010;
  state.fileLoaded = true;
  ASSERT_TRUE(GetSongParts(state, SongSet::One, 1));
  ASSERT_TRUE(LoadPart(state, part));
  ASSERT_TRUE(CopyChannels(state));
  state.partLoaded = true;
  ASSERT_FALSE(state.songPartList.empty());

  window.FormDestroy();
  EXPECT_TRUE(state.romImage.empty());
  EXPECT_EQ(state.romImage.capacity(), 0u);
  EXPECT_EQ(state.romSize, 0);
  EXPECT_TRUE(state.songPartList.empty());
  EXPECT_FALSE(state.channels.has_value());
  EXPECT_FALSE(state.partLoaded);

  window.FormDestroy();  // nothing left: releases nothing, fails nothing
  EXPECT_TRUE(state.romImage.empty());
  EXPECT_FALSE(state.channels.has_value());
}

// A caption that a font has widened pushes the controls of its row just out
// of its way, by as little as one pixel, and leaves the other rows alone.
TEST(GroupFit, ControlsRightOfACaptionMoveJustOutOfItsWay) {
  for (const int overlap : {0, 1, 6}) {
    SCOPED_TRACE(overlap);
    QGroupBox group;
    group.setGeometry(0, 0, 40, 80);
    auto* caption = new QLabel(QStringLiteral("Properties case length"), &group);
    caption->setGeometry(8, 20, 10, 13);  // rows 20 to 32
    const int clearOfCaption = 8 + caption->sizeHint().width() + 4;  // the caption, then four pixels
    auto* sameRow = new QLineEdit(&group);
    sameRow->setGeometry(clearOfCaption - overlap, 32, 21, 21);
    auto* nextRow = new QLineEdit(&group);
    nextRow->setGeometry(clearOfCaption - overlap, 33, 21, 21);

    WidenToFitText(group);
    EXPECT_EQ(caption->width(), caption->sizeHint().width());
    EXPECT_EQ(sameRow->x(), clearOfCaption);
    EXPECT_EQ(nextRow->x(), clearOfCaption - overlap);
    EXPECT_EQ(group.width(), clearOfCaption + 21 + 4);
    EXPECT_EQ(group.minimumWidth(), clearOfCaption + 21 + 4);
  }
}

}  // namespace
}  // namespace kestrin
