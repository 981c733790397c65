// The window and kestrin-rom speak one language: the tool names by song and
// line the part the window loads for that song and line, and a note changed
// in a part's text gives the image the same click in the window gives.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <nlohmann/json.hpp>
#include <utility>

#include "channel_grid.h"
#include "cli_run.h"
#include "fake_dialog_service.h"
#include "main_window.h"
#include "part_import.h"
#include "part_text_words.h"
#include "rom_builder.h"

namespace kestrin::rom_tool {
namespace {

using Bytes = std::vector<std::uint8_t>;

class WindowAndTool : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.filePath(QStringLiteral("demo.nes")).toStdString();
    ASSERT_TRUE(demo::BuildDemoRom().WriteTo(path_));
    window_.show();
    QApplication::setActiveWindow(&window_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    dialogs_.ChooseOpenFile(QString::fromStdString(path_));
    dialogs_.AnswerNextMessage(MessageAnswer::No);
    window_.Open1Click();
    ASSERT_TRUE(window_.State().fileLoaded);
  }

  template <typename T>
  T* Find(const char* name) {
    return window_.findChild<T*>(QString::fromLatin1(name));
  }

  // What the user does: picks the song, then clicks the line.
  void Load(int song, int row) {
    auto* songs = Find<QComboBox>("CB_SongSelect");
    songs->setCurrentIndex(song);
    Q_EMIT songs->activated(song);
    auto* list = Find<QListWidget>("LB_Parts");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }

  std::string Run(std::vector<std::string> args, int expectedCode = 0) {
    const CliRun run = Cli(std::move(args));
    EXPECT_EQ(run.code, expectedCode) << run.err;
    return run.out;
  }

  QTemporaryDir dir_;
  std::string path_;
  kestrin::testing::FakeDialogService dialogs_;
  TMainWindow window_{dialogs_};
};

TEST_F(WindowAndTool, NameTheSamePartForEverySongAndLineOfTheDemo) {
  auto* songs = Find<QComboBox>("CB_SongSelect");
  auto* list = Find<QListWidget>("LB_Parts");
  int lines = 0;
  for (int song = 0; song < songs->count(); ++song) {
    // The song as its item starts: "01-Morning Field" is song 01, "B0" is B0.
    const std::string code = songs->itemText(song).section(QLatin1Char('-'), 0, 0).toStdString();
    Load(song, 0);
    for (int row = 0; row < list->count(); ++row) {
      SCOPED_TRACE("song " + code + ", line " + std::to_string(row + 1));
      Load(song, row);
      const EditingState& state = window_.State();
      ASSERT_TRUE(state.partLoaded);
      const auto part = nlohmann::json::parse(
          Run({"part", path_, "--song", code, "--line", std::to_string(row + 1), "--json"}));
      EXPECT_EQ(part["song"], code);
      EXPECT_EQ(part["line"], row + 1);
      EXPECT_EQ(part["entry"], list->item(row)->text().toInt(nullptr, 16));  // the entry the line shows
      EXPECT_EQ(part["set"], static_cast<int>(state.songSet));
      EXPECT_EQ(part["part"], state.firstPart + row);
      EXPECT_EQ(part["header_position"], state.headerPosition);
      EXPECT_EQ(part["header"]["bytes"], nlohmann::json(state.partHeader));
      for (std::size_t k = 0; k < kStreamCount; ++k) {
        EXPECT_EQ(part["streams"][k]["position"], state.streamPosition[k]);
        EXPECT_EQ(part["streams"][k]["length"], state.streamLength[k]);
      }
      ++lines;
    }
  }
  EXPECT_GT(lines, 40);
}

TEST_F(WindowAndTool, ANoteChangedInTheTextGivesTheImageOfTheSameClick) {
  const std::string text = Run({"export", path_, "--song", "01", "--line", "2"});

  // In the window: song 01, line 2, Square 1, note mode, row 30 of byte 3's
  // column. Row 30 is semitone 33, byte 42: A in octave 4.
  Load(0, 1);
  Find<QTabWidget>("PC_ChannelSelect")->setCurrentWidget(Find<QWidget>("T_Square1"));
  auto* grid = Find<ChannelGrid>("Sq1_StrGrid");
  grid->ScrollToCell({4, 30});
  const auto cell = grid->VisibleCellRect(4, 30);
  ASSERT_TRUE(cell);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell->center());
  const Bytes& clicked = window_.State().romImage;
  ASSERT_NE(clicked, demo::BuildDemoRom().Image());

  // In the text: byte 3 of Square 1 becomes A4.
  const auto words = testing::SectionWords(text, "square1");
  Bytes imported = demo::BuildDemoRom().Image();
  const ImportResult result = ImportPartText(imported, testing::Replaced(text, words.at(3), "A4"));
  ASSERT_EQ(result.outcome, ImportResult::Outcome::Stored) << result.error.message;
  EXPECT_EQ(result.changedBytes, 1u);
  EXPECT_TRUE(imported == clicked);
}

}  // namespace
}  // namespace kestrin::rom_tool
