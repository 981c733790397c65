// A part just loaded opens on the Square 1 page with its first note in view;
// displays of the same part after edits, undo and page changes keep the
// scroll where the user left it.
#include <algorithm>
#include <set>
#include <utility>

#include "channel_bytes.h"
#include "song_list.h"
#include "undo_fixture.h"

namespace kestrin::testing {
namespace {

class ScrollOnLoad : public UndoFixture {
 protected:
  // The first note of the loaded Square 1 stream that has a row, and its
  // row: 63 minus half the byte.
  std::pair<int, int> FirstNoteCell() {
    const Bytes square1 = Buffer(kSquare1Stream);
    for (std::size_t k = 0; k < square1.size(); ++k) {
      if (square1[k] >= 0x02 && square1[k] <= 0x7D) return {static_cast<int>(k) + 1, 63 - square1[k] / 2};
    }
    return {0, 0};
  }
  bool WhollyInView(int column, int row) {
    ChannelGrid& grid = Grid("Sq1_StrGrid");
    const auto rect = grid.VisibleCellRect(column, row);
    return rect && rect->height() == grid.RowHeight();
  }
};

TEST_F(ScrollOnLoad, EveryFirstPartOfTheDemoOpensAtItsFirstNote) {
  std::set<int> rowsSeen;
  for (int song = 0; song < static_cast<int>(kSongList.size()); ++song) {
    SCOPED_TRACE(kSongList[static_cast<std::size_t>(song)].text);
    ShowPage("T_Song");
    PickSong(song);
    ClickPart(0);
    ShowPage("T_Square1");
    const auto [column, row] = FirstNoteCell();
    ASSERT_GT(column, 0);
    EXPECT_TRUE(WhollyInView(column, row)) << "row " << row;
    rowsSeen.insert(row);
  }
  EXPECT_GT(rowsSeen.size(), 3u);  // the demo's parts begin on different rows
}

// A first note far to the right, after a long silence: its own column is
// scrolled into view, not the one before it.
TEST_F(ScrollOnLoad, AFirstNoteFarRightIsScrolledIntoView) {
  LoadPart(0);
  const auto at = static_cast<std::size_t>(StreamAt(kSquare1Stream));
  const auto length = static_cast<std::size_t>(State().streamLength[kSquare1Stream]);
  ASSERT_GE(length, 40u);
  Bytes silent = original;
  std::fill_n(silent.begin() + static_cast<std::ptrdiff_t>(at), length - 1, kSilenceByte);
  silent[at + length - 1] = 0x30;
  path = dir.filePath(QStringLiteral("silent.nes"));
  WriteFile(path, silent);
  Open();
  LoadPart(0);
  ShowPage("T_Square1");
  EXPECT_EQ(FirstNoteCell(), std::make_pair(static_cast<int>(length), 63 - 0x30 / 2));
  EXPECT_TRUE(WhollyInView(static_cast<int>(length), 63 - 0x30 / 2));
}

TEST_F(ScrollOnLoad, EditsUndoAndPageChangesKeepTheScroll) {
  LoadPart(0);
  ShowPage("T_Square1");
  ChannelGrid& grid = Grid("Sq1_StrGrid");
  grid.ScrollToCell({3, 1});  // the user scrolls to the top
  const std::int64_t top = grid.VerticalOffset();
  ASSERT_FALSE(WhollyInView(FirstNoteCell().first, FirstNoteCell().second));

  ClickCell(grid, 3, 2);
  EXPECT_EQ(grid.VerticalOffset(), top);
  Undo();
  EXPECT_EQ(grid.VerticalOffset(), top);
  ShowPage("T_Square2");
  ShowPage("T_Square1");
  EXPECT_EQ(grid.VerticalOffset(), top);

  // Another part loaded opens at its own first note again.
  ShowPage("T_Song");
  ClickPart(1);
  ShowPage("T_Square1");
  const auto [column, row] = FirstNoteCell();
  EXPECT_TRUE(WhollyInView(column, row));
}

}  // namespace
}  // namespace kestrin::testing
