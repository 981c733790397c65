// The grids inside the real main window: its mode buttons, note property
// boxes and tabs reach the Square 1 page.

#include <QComboBox>
#include <QTabWidget>
#include <QToolButton>

#include "grid_fixture.h"
#include "main_window.h"

namespace kestrin::testing {
namespace {

TEST(GridsInTheWindow, ModeButtonsAndPropertyBoxesDriveSquare1Clicks) {
  FakeDialogService dialogs;
  TMainWindow window(dialogs);
  window.show();
  demo::RomBuilder builder;
  demo::PartStreams streams;
  streams.square1 = {0x84, 0x30, 0x30, 0x30, 0x00};
  const int part = builder.AddPart(SongSet::One, streams);
  EditingState& state = window.State();
  state.romImage = builder.Image();
  state.romSize = kRomSize;
  state.fileLoaded = true;
  ASSERT_TRUE(LoadPart(state, part));
  ASSERT_TRUE(CopyChannels(state));
  state.partLoaded = true;
  const std::int32_t start = builder.PartStart(SongSet::One, part);

  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("PC_ChannelSelect"));
  tabs->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("T_Square1")));
  auto* grid = window.findChild<ChannelGrid*>(QStringLiteral("Sq1_StrGrid"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(window.findChild<StatusLine*>(QStringLiteral("StatusBar"))->Text(), QStringLiteral("5"));

  QTest::mouseClick(window.findChild<QToolButton*>(QStringLiteral("PropButton")), Qt::LeftButton);
  auto* lengths = window.findChild<QComboBox*>(QStringLiteral("CB_NoteLength"));
  lengths->setCurrentIndex(lengths->findText(QStringLiteral("8")));
  GridFixture::Click(*grid, 3, 30);
  EXPECT_EQ(state.romImage[static_cast<std::size_t>(start + 2)], 0x8C);
  EXPECT_EQ(grid->ColumnWidth(4), 320);

  QTest::mouseClick(window.findChild<QToolButton*>(QStringLiteral("MuteButton")), Qt::LeftButton);
  GridFixture::Click(*grid, 2, 30);
  EXPECT_EQ(state.romImage[static_cast<std::size_t>(start + 1)], 0x7E);
  EXPECT_EQ(window.findChild<StatusLine*>(QStringLiteral("StatusBar"))->Text(), QStringLiteral("CASE X FREE"));
}

}  // namespace
}  // namespace kestrin::testing
