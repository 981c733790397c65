#include "cell_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrin {
namespace {

struct Built {
  CellTable table;
  std::int32_t currentNoteWidth = 40;
  bool existed = false;

  void Display(Grid grid, const std::vector<std::uint8_t>& stream) {
    existed = BuildCellTable(table, grid, stream, 40, currentNoteWidth);
  }
  std::vector<std::int32_t> Widths() const {
    std::vector<std::int32_t> widths;
    for (const CellRecord& cell : table.cells) widths.push_back(cell.width);
    return widths;
  }
};

TEST(CellTableTest, StreamOfOnlyTheEndByte) {
  Built built;
  built.Display(Grid::Square1, {0x00});
  ASSERT_EQ(built.table.cells.size(), 1u);
  EXPECT_EQ(built.table.cells[0].kind, ByteKind::End);
  EXPECT_EQ(built.table.cells[0].width, 40);
  EXPECT_EQ(built.table.cells[0].noteRow, -1);
}

TEST(CellTableTest, PropertyBytesSetTheWidthOfTheCellsAfterThem) {
  Built built;
  built.Display(Grid::Square1, {0x84, 0x30, 0x8C, 0x30, 0x7E, 0x81, 0x30, 0x00});
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{40, 40, 40, 320, 320, 40, 10, 10}));
  EXPECT_EQ(built.currentNoteWidth, 10);
}

TEST(CellTableTest, Byte80IsOtherAndLeavesWidthsAlone) {
  Built built;
  built.Display(Grid::Square1, {0x88, 0x80, 0x30, 0x00});
  EXPECT_EQ(built.table.cells[1].kind, ByteKind::Other);
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{40, 80, 80, 80}));
}

TEST(CellTableTest, LeadingNotesTakeTheWidthLeftByThePreviousDisplay) {
  Built built;
  built.Display(Grid::Square1, {0x84, 0x30, 0x8C, 0x00});
  EXPECT_EQ(built.currentNoteWidth, 320);
  // The other grid shares the carried width.
  built.Display(Grid::Square2, {0x30, 0x32, 0x00});
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{320, 320, 320}));
}

TEST(CellTableTest, LengthCodeWidthsDependOnTheGrid) {
  Built built;
  built.Display(Grid::Square1, {0x8B, 0x30, 0x00});
  EXPECT_EQ(built.table.cells[1].width, 40);
  built.Display(Grid::Square2, {0x8B, 0x30, 0x00});
  EXPECT_EQ(built.table.cells[1].width, 320);
}

TEST(CellTableTest, NoteRecordsHoldOctaveAndRowOfTheBuiltGrid) {
  Built built;
  const std::vector<std::uint8_t> stream{0x01, 0x02, 0x03, 0x18, 0x30, 0x7D, 0x7E, 0x00};
  built.Display(Grid::Square1, stream);
  const auto& s1 = built.table.cells;
  EXPECT_EQ(s1[0].kind, ByteKind::Note);
  EXPECT_EQ(s1[0].octave, 2);
  EXPECT_EQ(s1[0].noteRow, -1);  // 0x01 has no Square 1 row
  EXPECT_EQ(s1[1].noteRow, 62);
  EXPECT_EQ(s1[2].noteRow, 62);
  EXPECT_EQ(s1[3].noteRow, 51);
  EXPECT_EQ(s1[5].noteRow, 1);
  EXPECT_EQ(s1[5].octave, 7);
  EXPECT_EQ(s1[6].kind, ByteKind::Silence);
  EXPECT_EQ(s1[6].noteRow, -1);

  built.Display(Grid::Square2, stream);
  const auto& s2 = built.table.cells;
  EXPECT_EQ(s2[1].noteRow, 11);
  EXPECT_EQ(s2[2].noteRow, -1);  // odd bytes have no Square 2 row
  EXPECT_EQ(s2[3].noteRow, 12);
  EXPECT_EQ(s2[3].octave, 3);
  EXPECT_EQ(s2[4].noteRow, 12);
  EXPECT_EQ(s2[4].octave, 4);
  EXPECT_EQ(built.table.builtFor, Grid::Square2);
}

TEST(CellTableTest, ReportsWhetherTablesExistedAndResizesToEachStream) {
  Built built;
  built.Display(Grid::Square1, {0x84, 0x30, 0x32, 0x34, 0x00});
  EXPECT_FALSE(built.existed);
  EXPECT_EQ(built.table.builtFor, Grid::Square1);
  built.Display(Grid::Square1, {0x30, 0x00});
  EXPECT_TRUE(built.existed);
  ASSERT_EQ(built.table.cells.size(), 2u);
  // No leftovers from the longer stream's records.
  EXPECT_EQ(built.table.cells[1].kind, ByteKind::End);
  EXPECT_EQ(built.table.cells[0].octave, 4);

  ReleaseCellTable(built.table);
  EXPECT_TRUE(built.table.cells.empty());
  EXPECT_FALSE(built.table.builtFor.has_value());
  built.Display(Grid::Square2, {0x00});
  EXPECT_FALSE(built.existed);
}

TEST(CellTableTest, StaleRecordFieldsAreOverwrittenWhenAByteChangesKind) {
  Built built;
  built.Display(Grid::Square1, {0x30, 0x00});
  built.Display(Grid::Square1, {0x7E, 0x00});
  EXPECT_EQ(built.table.cells[0].kind, ByteKind::Silence);
  EXPECT_EQ(built.table.cells[0].noteRow, -1);
  EXPECT_EQ(built.table.cells[0].octave, 0);
}

TEST(CellTableTest, LongestStreamGetsOneRecordPerByte) {
  Built built;
  std::vector<std::uint8_t> stream(163839, 0x30);
  stream.front() = 0x82;
  stream.back() = 0x00;
  built.Display(Grid::Square1, stream);
  ASSERT_EQ(built.table.cells.size(), stream.size());
  EXPECT_EQ(built.table.cells[stream.size() - 2].width, 20);
  EXPECT_EQ(built.table.cells.back().kind, ByteKind::End);
}

// An update after a one-byte edit gives what a whole display of the edited
// stream gives, carried width included.
TEST(CellTableTest, UpdateAfterOneEditMatchesAWholeDisplay) {
  Built built;
  std::vector<std::uint8_t> stream{0x30, 0x84, 0x30, 0x30, 0x00};
  built.Display(Grid::Square1, stream);
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{40, 40, 40, 40, 40}));

  stream[1] = 0x8C;  // length code 12: 320 pixels after it
  auto change = UpdateCellTable(built.table, Grid::Square1, stream, 1, kNoteLengthUnit, built.currentNoteWidth);
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{40, 40, 320, 320, 320}));
  EXPECT_EQ(built.currentNoteWidth, 320);
  EXPECT_TRUE(change->leading.Empty()) << "the width carried in did not move";
  EXPECT_EQ(change->following.first, 1u);
  EXPECT_EQ(change->following.last, 5u);

  // The next display starts from 320: so does the cell before the property.
  stream[3] = 0x7E;
  change = UpdateCellTable(built.table, Grid::Square1, stream, 3, kNoteLengthUnit, built.currentNoteWidth);
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{320, 40, 320, 320, 320}));
  EXPECT_EQ(built.table.cells[3].kind, ByteKind::Silence);
  EXPECT_EQ(change->leading.last, 1u);

  // No property byte left: every cell takes the carried width.
  stream[1] = 0x18;
  UpdateCellTable(built.table, Grid::Square1, stream, 1, kNoteLengthUnit, built.currentNoteWidth);
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{320, 320, 320, 320, 320}));
  EXPECT_EQ(built.table.cells[1].noteRow, 51);
  EXPECT_EQ(built.table.cells[1].octave, 3);

  // The first and the last byte: nothing before or after the table is read.
  stream[4] = 0x30;
  change = UpdateCellTable(built.table, Grid::Square1, stream, 4, kNoteLengthUnit, built.currentNoteWidth);
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(change->following.first, 4u);
  EXPECT_EQ(change->following.last, 5u);
  stream[0] = 0x88;  // length code 8: 80 pixels after it
  change = UpdateCellTable(built.table, Grid::Square1, stream, 0, kNoteLengthUnit, built.currentNoteWidth);
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(built.Widths(), (std::vector<std::int32_t>{40, 80, 80, 80, 80}));
  EXPECT_EQ(built.currentNoteWidth, 80);
}

TEST(CellTableTest, UpdateRefusesTablesOfAnotherStream) {
  Built built;
  std::vector<std::uint8_t> stream{0x84, 0x30, 0x00};
  built.Display(Grid::Square1, stream);
  std::int32_t width = built.currentNoteWidth;
  EXPECT_FALSE(UpdateCellTable(built.table, Grid::Square2, stream, 1, kNoteLengthUnit, width));
  const std::vector<std::uint8_t> longer{0x84, 0x30, 0x30, 0x00};
  EXPECT_FALSE(UpdateCellTable(built.table, Grid::Square1, longer, 1, kNoteLengthUnit, width));
  const std::vector<std::uint8_t> copy = stream;
  EXPECT_FALSE(UpdateCellTable(built.table, Grid::Square1, copy, 1, kNoteLengthUnit, width));
  EXPECT_FALSE(UpdateCellTable(built.table, Grid::Square1, stream, 3, kNoteLengthUnit, width));
}

}  // namespace
}  // namespace kestrin
