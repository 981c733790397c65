// An edit updates only what it touched. Two editors run the same random
// edits on the same random parts: one through real clicks and keys on its
// grids, the other by writing each edit's byte itself and running the whole
// write-back and the whole display. After every edit both must hold the same
// per-cell tables, carried note width, status text, column positions,
// space label, edit buffers, ROM image and painted pixels.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cell_table.h"
#include "channel_grid.h"
#include "held_on_screen.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "fake_dialog_service.h"
#include "music_bank.h"
#include "note_properties_group.h"
#include "part_streams.h"
#include "square1_page.h"
#include "square2_page.h"
#include "status_line.h"
#include "write_path.h"

namespace kestrin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One main window's worth of editing: state, settings, the two pages.
struct Editor {
  EditingState state;
  EditorSettings settings;
  FakeDialogService dialogs;
  StatusLine status;
  EditorContext context{state, settings, dialogs, status};
  CellTable cells;
  QWidget window;
  QTabWidget* tabs = new QTabWidget(&window);
  NotePropertiesGroup* notes = new NotePropertiesGroup(&window);
  QWidget* blank = new QWidget;
  Square1Page* sq1 = new Square1Page(context, cells, *notes);
  Square2Page* sq2 = new Square2Page(context, cells);

  Editor() {
    window.resize(600, 400);
    tabs->setGeometry(0, 0, 600, 305);
    notes->setGeometry(139, 312, 190, 65);
    tabs->addTab(blank, QStringLiteral("Song and part selection"));
    tabs->addTab(sq1, QStringLiteral("Square 1"));
    tabs->addTab(sq2, QStringLiteral("Square 2"));
    window.show();
  }

  ChannelGrid& Grid(bool square1) const { return square1 ? sq1->Grid() : sq2->Grid(); }
  Bytes& Stream(int k) { return state.channels->edit[static_cast<std::size_t>(k)]; }
  void Show(bool square1) {
    tabs->setCurrentWidget(blank);
    tabs->setCurrentWidget(square1 ? static_cast<QWidget*>(sq1) : sq2);
  }
  void Choose(int instrument, int length) {
    notes->findChild<QComboBox*>(QStringLiteral("CB_Instruments"))->setCurrentIndex(instrument);
    notes->findChild<QComboBox*>(QStringLiteral("CB_NoteLength"))->setCurrentIndex(length);
  }
  QString SpaceLabel() const { return sq1->findChild<QLabel*>(QStringLiteral("l_sq1infos"))->text(); }
  // What the window's backing store holds for the grid's viewport: the
  // pixels as painted, not repainted for the grab.
  QImage Painted(bool square1) { return HeldOnScreen(window, *Grid(square1).viewport()); }
};

// A byte of every kind, with property bytes as frequent as `propertyShare`
// (per mille): long runs without one test the width carried in.
std::uint8_t RandomByte(std::mt19937& rng, int propertyShare) {
  const int pick = static_cast<int>(rng() % 1000);
  if (pick < propertyShare) return static_cast<std::uint8_t>(0x81 + rng() % 0x7F);
  if (pick < propertyShare + 10) return static_cast<std::uint8_t>(0x7F + rng() % 2);  // other
  if (pick < propertyShare + 15) return 0x00;                                        // end
  if (pick < propertyShare + 120) return 0x7E;                                       // rest
  return static_cast<std::uint8_t>(0x01 + rng() % 0x7D);                             // note
}

// A made-up image and a part of five streams at random places, some of them
// sharing bytes, loaded into both editors alike.
void LoadRandomPart(std::mt19937& rng, std::int32_t square1Length, std::vector<Editor*> editors) {
  Bytes image(static_cast<std::size_t>(kRomSize));
  const int share = std::array{0, 3, 60, 300}[rng() % 4];
  for (auto& b : image) b = RandomByte(rng, share);
  const std::int32_t start = 0x100 + static_cast<std::int32_t>(rng() % 0x1000);
  std::array<std::int32_t, kStreamCount> position{start};
  std::array<std::int32_t, kStreamCount> length{square1Length};
  for (std::size_t k = 1; k < kStreamCount; ++k) {
    length[k] = 1 + static_cast<std::int32_t>(rng() % 120);
    // Half the time right after stream 1, else overlapping its end.
    position[k] = start + square1Length - (rng() % 2 == 0 ? 0 : static_cast<std::int32_t>(rng() % 40)) +
                  static_cast<std::int32_t>(k - 1) * 60;
    position[k] = std::max(position[k], 0);
  }
  for (Editor* e : editors) {
    e->state.romImage = image;
    e->state.romSize = kRomSize;
    e->state.fileLoaded = true;
    e->state.streamPosition = position;
    e->state.streamLength = length;
    ASSERT_TRUE(CopyChannels(e->state));
    e->state.partLoaded = true;
  }
}

::testing::AssertionResult SameTables(const CellTable& a, const CellTable& b) {
  if (a.builtFor != b.builtFor) return ::testing::AssertionFailure() << "built for another grid";
  if (a.cells.size() != b.cells.size()) return ::testing::AssertionFailure() << "sizes differ";
  for (std::size_t i = 0; i < a.cells.size(); ++i) {
    const CellRecord& x = a.cells[i];
    const CellRecord& y = b.cells[i];
    if (x.kind != y.kind || x.octave != y.octave || x.noteRow != y.noteRow || x.width != y.width)
      return ::testing::AssertionFailure() << "cell " << i << ": width " << x.width << " vs " << y.width
                                           << ", kind " << int(x.kind) << " vs " << int(y.kind) << ", row "
                                           << int(x.noteRow) << " vs " << int(y.noteRow) << ", octave "
                                           << int(x.octave) << " vs " << int(y.octave);
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameLayout(const ChannelGrid& a, const ChannelGrid& b) {
  if (a.ColumnCount() != b.ColumnCount() || a.RowHeight() != b.RowHeight())
    return ::testing::AssertionFailure() << "column count or row height differ";
  if (a.ContentWidth() != b.ContentWidth()) {
    int c = 0;
    while (c < a.ColumnCount() && a.ColumnWidth(c) == b.ColumnWidth(c)) ++c;
    return ::testing::AssertionFailure() << "content width " << a.ContentWidth() << " vs " << b.ContentWidth()
                                         << ", first differing width in column " << c;
  }
  // Every 64th column starts a block of positions; the ones between follow
  // from the widths.
  for (int c = 0; c < a.ColumnCount(); c += 64) {
    if (a.ColumnLeft(c) != b.ColumnLeft(c))
      return ::testing::AssertionFailure() << "column " << c << " at " << a.ColumnLeft(c) << " vs "
                                           << b.ColumnLeft(c);
  }
  return ::testing::AssertionSuccess();
}

class EditEquivalence : public ::testing::Test {
 protected:
  Editor live;       // edited through its grids
  Editor reference;  // the byte written by hand, then everything redone whole
  std::mt19937 rng{20261208};

  // The byte a Square 1 click on (column, row) writes, as the editor's
  // rules say: the first byte only takes note properties.
  std::uint8_t Square1Byte(int column, int row, EditMode mode, int instrument, int length) const {
    const auto composed = static_cast<std::uint8_t>(((instrument + 8) * 16 + length) % 256);
    if (column == 1) return composed;
    switch (mode) {
      case EditMode::Note: return static_cast<std::uint8_t>(126 - 2 * row);
      case EditMode::Mute: return 0x7E;
      case EditMode::Property: break;
    }
    return composed;
  }

  void ClickSquare1(int column, int row, bool byKey) {
    const auto mode = static_cast<EditMode>(rng() % 3);
    const int instrument = static_cast<int>(rng() % 8);
    const int length = static_cast<int>(rng() % 13);
    live.settings.editMode = reference.settings.editMode = mode;
    live.Choose(instrument, length);
    ChannelGrid& grid = live.Grid(true);
    if (byKey) {
      // Right from the cell before: the key press is the edit.
      grid.SetCurrentCell({column - 1, row});
      grid.setFocus();
      QTest::keyClick(&grid, Qt::Key_Right);
    } else {
      grid.ScrollToCell({column, row});
      const auto rect = grid.VisibleCellRect(column, row);
      ASSERT_TRUE(rect.has_value());
      QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, rect->center());
    }
    ASSERT_EQ(grid.CurrentCell(), (GridCell{column, row}));

    reference.Stream(kSquare1Stream)[static_cast<std::size_t>(column - 1)] =
        Square1Byte(column, row, mode, instrument, length);
    // The display shows the buffer as the write-back leaves it: bytes it
    // took over from the image included.
    if (column != 1) WriteBack(reference.state);
    reference.sq1->T_Square1Show();
    if (column == 1) reference.status.Set(QStringLiteral("First byte can only be a property byte!"));
  }

  void ClickSquare2(int column, int row) {
    ChannelGrid& grid = live.Grid(false);
    grid.ScrollToCell({column, row});
    const auto rect = grid.VisibleCellRect(column, row);
    ASSERT_TRUE(rect.has_value());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, rect->center());
    auto& b = reference.Stream(kSquare2Stream)[static_cast<std::size_t>(column - 1)];
    // Only a note moves, within its octave: C of the octave plus 24 - 2 * row.
    if (b >= 0x01 && b <= 0x7D) {
      b = static_cast<std::uint8_t>((b - b % 24 + 24 - 2 * row) % 256);
      reference.sq2->T_Square2Show();
    }
  }

  void ExpectSame(bool square1, bool pixels, const std::string& step) {
    SCOPED_TRACE(step);
    EXPECT_TRUE(SameTables(live.cells, reference.cells));
    EXPECT_EQ(live.settings.currentNoteWidth, reference.settings.currentNoteWidth);
    EXPECT_EQ(live.status.Text(), reference.status.Text());
    EXPECT_EQ(live.SpaceLabel(), reference.SpaceLabel());
    EXPECT_TRUE(SameLayout(live.Grid(square1), reference.Grid(square1)));
    for (std::size_t k = 0; k < kStreamCount; ++k)
      EXPECT_TRUE(live.state.channels->edit[k] == reference.state.channels->edit[k]) << "stream " << k + 1;
    EXPECT_TRUE(live.state.channels->stored == reference.state.channels->stored);
    EXPECT_TRUE(live.state.romImage == reference.state.romImage);
    if (!pixels) return;
    ChannelGrid& a = live.Grid(square1);
    ChannelGrid& b = reference.Grid(square1);
    b.SetCurrentCell(a.CurrentCell());
    b.horizontalScrollBar()->setValue(a.horizontalScrollBar()->value());
    b.verticalScrollBar()->setValue(a.verticalScrollBar()->value());
    EXPECT_TRUE(live.Painted(square1) == reference.Painted(square1)) << "pixels differ";
  }

  // Random edits of every kind on one part, checked after each.
  void Run(std::int32_t square1Length, int edits, int pixelEvery) {
    ASSERT_NO_FATAL_FAILURE(LoadRandomPart(rng, square1Length, {&live, &reference}));
    bool square1 = rng() % 2 == 0;
    live.Show(square1);
    reference.Show(square1);
    for (int e = 0; e < edits && !HasFailure(); ++e) {
      const int pick = static_cast<int>(rng() % 100);
      const std::string step = "length " + std::to_string(square1Length) + ", edit " + std::to_string(e);
      if (pick < 8) {
        // The other page: its display starts from the width this one left.
        square1 = !square1;
        live.Show(square1);
        reference.Show(square1);
      } else if (pick < 10) {
        // A header field written into the image, inside the streams.
        const std::int32_t at = live.state.streamPosition[rng() % kStreamCount];
        const auto value = static_cast<std::uint8_t>(rng());
        SetImageByte(live.state, at, value);
        SetImageByte(reference.state, at, value);
      } else if (square1) {
        const auto columns = static_cast<int>(live.Stream(kSquare1Stream).size());
        // Near the start, near the end and anywhere.
        const int spot = static_cast<int>(rng() % 3);
        const auto near = static_cast<unsigned>(std::min(columns, 4));
        const int column = spot == 0   ? 1 + static_cast<int>(rng() % near)
                           : spot == 1 ? columns - static_cast<int>(rng() % near)
                                       : 1 + static_cast<int>(rng() % static_cast<unsigned>(columns));
        const int row = 1 + static_cast<int>(rng() % 62);
        const bool byKey = column > 1 && rng() % 4 == 0;
        ASSERT_NO_FATAL_FAILURE(ClickSquare1(column, row, byKey));
      } else {
        const auto columns = static_cast<int>(live.Stream(kSquare2Stream).size());
        ASSERT_NO_FATAL_FAILURE(
            ClickSquare2(1 + static_cast<int>(rng() % static_cast<unsigned>(columns)), static_cast<int>(rng() % 13)));
      }
      ExpectSame(square1, e % pixelEvery == 0, step);
    }
    // What is left unwritten reaches the image with a save's write-back.
    EXPECT_EQ(WriteBack(live.state), WriteBack(reference.state));
    EXPECT_TRUE(live.state.romImage == reference.state.romImage);
  }
};

// Bytes changed through the write path by something other than a click,
// with no display between, reach the image with the next edit's write-back.
TEST_F(EditEquivalence, BytesChangedElsewhereAreWrittenBackToo) {
  ASSERT_NO_FATAL_FAILURE(LoadRandomPart(rng, 40, {&live}));
  // Stream 2 clear of the Square 1 bytes below, so no other stream shares them.
  ASSERT_GT(live.state.streamPosition[1], live.state.streamPosition[0] + 9);
  live.Show(true);
  SetStreamByte(live.state, kSquare1Stream, 5, 0x7E);
  SetStreamByte(live.state, kSquare2Stream, 0, 0x9A);
  live.settings.editMode = EditMode::Mute;
  ChannelGrid& grid = live.Grid(true);
  grid.ScrollToCell({10, 5});
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, grid.VisibleCellRect(10, 5)->center());
  const auto image = [this](std::int32_t at) { return live.state.romImage[static_cast<std::size_t>(at)]; };
  EXPECT_EQ(image(live.state.streamPosition[0] + 9), 0x7E);
  EXPECT_EQ(image(live.state.streamPosition[0] + 5), 0x7E);
  EXPECT_EQ(image(live.state.streamPosition[1]), 0x9A);
}

TEST_F(EditEquivalence, ShortStreams) {
  for (int part = 0; part < 12 && !HasFailure(); ++part)
    Run(1 + static_cast<std::int32_t>(rng() % 90), 120, 1);
}

TEST_F(EditEquivalence, LongStreams) {
  Run(1024, 150, 10);
  Run(16384 + static_cast<std::int32_t>(rng() % 3000), 80, 20);
  Run(163839, 60, 20);
}

}  // namespace
}  // namespace kestrin::testing
