#pragma once
// A Square 1 and a Square 2 page on a tab widget, as the main window holds
// them, with an editing state the test fills: by hand for display tests, or
// from a made-up ROM part when the image itself matters.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QTabWidget>
#include <QTest>
#include <cstdint>
#include <memory>
#include <vector>

#include "cell_table.h"
#include "channel_grid.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "fake_dialog_service.h"
#include "note_properties_group.h"
#include "part_streams.h"
#include "rom_builder.h"
#include "square1_page.h"
#include "square2_page.h"
#include "status_line.h"

namespace kestrin::testing {

using Bytes = std::vector<std::uint8_t>;

class GridFixture : public ::testing::Test {
 protected:
  GridFixture() {
    window_.resize(600, 400);
    tabs_ = new QTabWidget(&window_);
    tabs_->setGeometry(0, 0, 600, 305);
    notes_ = new NotePropertiesGroup(&window_);
    notes_->setGeometry(139, 312, 190, 65);
    blank_ = new QWidget;
    sq1_ = new Square1Page(context_, cells_, *notes_);
    sq2_ = new Square2Page(context_, cells_);
    tabs_->addTab(blank_, QStringLiteral("Song and part selection"));
    tabs_->addTab(sq1_, QStringLiteral("Square 1"));
    tabs_->addTab(sq2_, QStringLiteral("Square 2"));
    window_.show();
  }

  ChannelGrid& Grid1() { return *sq1_->findChild<ChannelGrid*>(QStringLiteral("Sq1_StrGrid")); }
  ChannelGrid& Grid2() { return *sq2_->findChild<ChannelGrid*>(QStringLiteral("Sq2_StrGrid")); }

  // Puts two streams into the edit buffers as a successful part load would.
  void LoadStreams(Bytes square1, Bytes square2 = {0x84, 0x30, 0x7E}) {
    ChannelBuffers buffers;
    buffers.edit[kSquare1Stream] = std::move(square1);
    buffers.edit[kSquare2Stream] = std::move(square2);
    for (std::size_t k = 0; k < buffers.edit.size(); ++k)
      state_.streamLength[k] = static_cast<std::int32_t>(buffers.edit[k].size());
    state_.channels = std::move(buffers);
    state_.partLoaded = true;
  }

  // Loads a packed part of a made-up image through the data layer.
  void LoadRomPart(const demo::PartStreams& streams) {
    demo::RomBuilder builder;
    const int part = builder.AddPart(SongSet::One, streams);
    partStart_ = builder.PartStart(SongSet::One, part);
    state_.romImage = builder.Image();
    state_.romSize = kRomSize;
    state_.fileLoaded = true;
    state_.songSet = SongSet::One;
    ASSERT_TRUE(LoadPart(state_, part));
    ASSERT_TRUE(CopyChannels(state_));
    state_.partLoaded = true;
  }

  std::uint8_t ImageByte(std::int32_t offset) const {
    return state_.romImage[static_cast<std::size_t>(offset)];
  }
  Bytes& Stream1() { return state_.channels->edit[kSquare1Stream]; }
  Bytes& Stream2() { return state_.channels->edit[kSquare2Stream]; }

  // Page changes run the displays, as the tabs of the window do.
  void ShowSquare1() { ShowPage(sq1_); }
  void ShowSquare2() { ShowPage(sq2_); }
  void ShowPage(QWidget* page) {
    tabs_->setCurrentWidget(blank_);
    tabs_->setCurrentWidget(page);
  }

 public:
  static void Click(ChannelGrid& grid, int column, int row) {
    grid.ScrollToCell({column, row});
    const auto rect = grid.VisibleCellRect(column, row);
    ASSERT_TRUE(rect.has_value()) << "cell " << column << "," << row << " not on view";
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, rect->center());
  }

  // The colour the grid shows near a cell's bottom-right corner, away from
  // the text at its top-left.
  static QColor Pixel(ChannelGrid& grid, int column, int row) {
    grid.ScrollToCell({column, row});
    const auto rect = grid.VisibleCellRect(column, row);
    EXPECT_TRUE(rect.has_value());
    if (!rect) return {};
    const QImage image = grid.viewport()->grab().toImage();
    return image.pixelColor(rect->right() - 1, rect->bottom() - 1);
  }

 protected:
  void ChooseNoteProperties(const QString& instrument, const QString& length) {
    auto* instruments = notes_->findChild<QComboBox*>(QStringLiteral("CB_Instruments"));
    auto* lengths = notes_->findChild<QComboBox*>(QStringLiteral("CB_NoteLength"));
    instruments->setCurrentIndex(instruments->findText(instrument));
    lengths->setCurrentIndex(lengths->findText(length));
  }

  QString Status() const { return status_.Text(); }

  EditingState state_;
  EditorSettings settings_;
  FakeDialogService dialogs_;
  StatusLine status_;
  EditorContext context_{state_, settings_, dialogs_, status_};
  CellTable cells_;
  QWidget window_;
  QTabWidget* tabs_;
  NotePropertiesGroup* notes_;
  QWidget* blank_;
  Square1Page* sq1_;
  Square2Page* sq2_;
  std::int32_t partStart_ = 0;
};

}  // namespace kestrin::testing
