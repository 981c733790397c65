#include <gtest/gtest.h>

#include "column_width.h"
#include "editor_settings.h"
#include "header_text.h"
#include "note_shading.h"

namespace kestrin {
namespace {

std::uint8_t Red(ColorWord c) { return static_cast<std::uint8_t>(c & 0xFF); }
std::uint8_t Green(ColorWord c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
std::uint8_t Blue(ColorWord c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

ColorWord ShadeWithStartValues(int octave) {
  const EditorSettings s;
  return ShadedNoteColor(octave, s.pitchLightIntensity, s.noteColor, s.emptyCaseColor);
}

TEST(NoteShadingTest, StartValuesLightenHigherOctaves) {
  EXPECT_EQ(ShadeWithStartValues(2), MakeColorWord(0x68, 0x38, 0x38));
  EXPECT_EQ(ShadeWithStartValues(4), MakeColorWord(0x90, 0x60, 0x60));
  EXPECT_EQ(ShadeWithStartValues(7), MakeColorWord(0xCC, 0x9C, 0x9C));
}

TEST(NoteShadingTest, ZeroIntensityGivesTheNoteColour) {
  const EditorSettings s;
  for (int octave = 2; octave <= 7; ++octave) {
    EXPECT_EQ(ShadedNoteColor(octave, 0, s.noteColor, s.emptyCaseColor), s.noteColor);
  }
}

TEST(NoteShadingTest, EmptyCaseColourMasksTheResult) {
  const EditorSettings s;
  const ColorWord blue = MakeColorWord(0, 0, 0xFF);
  const ColorWord masked = ShadedNoteColor(4, s.pitchLightIntensity, s.noteColor, blue);
  EXPECT_EQ(masked, MakeColorWord(0, 0, 0x60));
}

TEST(NoteShadingTest, ComponentOverflowCarriesIntoTheNextComponent) {
  // Red 0xF0 + 0x20 overflows: red keeps 0x10 and green gains one.
  const ColorWord note = MakeColorWord(0xF0, 0x10, 0x10);
  const ColorWord white = MakeColorWord(0xFF, 0xFF, 0xFF);
  const ColorWord shaded = ShadedNoteColor(2, 16, note, white);
  EXPECT_EQ(Red(shaded), 0x10);
  EXPECT_EQ(Green(shaded), 0x31);
  EXPECT_EQ(Blue(shaded), 0x30);
  // A carry out of blue is dropped by the white mask.
  EXPECT_EQ(ShadedNoteColor(2, 16, MakeColorWord(0x10, 0x10, 0xF0), white),
            MakeColorWord(0x30, 0x30, 0x10));
}

TEST(NoteShadingTest, OnlyTheLowByteOfTheProductCounts) {
  const ColorWord white = MakeColorWord(0xFF, 0xFF, 0xFF);
  // 7 * 40 = 280 = 0x118: the lift is 0x18.
  EXPECT_EQ(ShadedNoteColor(7, 40, 0, white), MakeColorWord(0x18, 0x18, 0x18));
  // An odd product keeps its lowest bit: 3 * 5 = 15.
  EXPECT_EQ(ShadedNoteColor(3, 5, 0, white), MakeColorWord(0x0F, 0x0F, 0x0F));
  // A negative intensity lifts by its two's-complement low byte.
  EXPECT_EQ(ShadedNoteColor(2, -1, 0, white), MakeColorWord(0xFE, 0xFE, 0xFE));
  EXPECT_EQ(ShadedNoteColor(2, INT16_MIN, 0, white), 0u);
}

TEST(HeaderTextTest, ShortestDecimalFormWithAPoint) {
  EXPECT_EQ(HeaderText(10, 40), "0.25");
  EXPECT_EQ(HeaderText(20, 40), "0.5");
  EXPECT_EQ(HeaderText(30, 40), "0.75");
  EXPECT_EQ(HeaderText(40, 40), "1");
  EXPECT_EQ(HeaderText(50, 40), "1.25");
  EXPECT_EQ(HeaderText(60, 40), "1.5");
  EXPECT_EQ(HeaderText(80, 40), "2");
  EXPECT_EQ(HeaderText(320, 40), "8");
  EXPECT_EQ(HeaderText(13, 40), "0.325");
  EXPECT_EQ(HeaderText(0, 40), "0");
}

TEST(HeaderTextTest, NonPositiveUnitGivesNoText) {
  EXPECT_EQ(HeaderText(40, 0), "");
  EXPECT_EQ(HeaderText(40, -40), "");
}

TEST(ColumnWidthTest, DrawingWidthByKindAndGrid) {
  const CellRecord property{ByteKind::Property, 0, -1, 40};
  const CellRecord end{ByteKind::End, 0, -1, 320};
  const CellRecord note{ByteKind::Note, 4, 12, 80};
  const CellRecord silence{ByteKind::Silence, 0, -1, 10};
  const CellRecord other{ByteKind::Other, 0, -1, 120};
  for (const Grid grid : {Grid::Square1, Grid::Square2}) {
    EXPECT_EQ(ColumnDrawWidth(grid, end, 40, 60), 40);
    EXPECT_EQ(ColumnDrawWidth(grid, note, 40, 60), 80);
    EXPECT_EQ(ColumnDrawWidth(grid, silence, 40, 60), 10);
    EXPECT_EQ(ColumnDrawWidth(grid, other, 40, 60), 120);
  }
  // Square 1 property columns follow the property case length setting.
  EXPECT_EQ(ColumnDrawWidth(Grid::Square1, property, 40, 60), 60);
  EXPECT_EQ(HeaderText(ColumnDrawWidth(Grid::Square1, property, 40, 60), 40),
            "1.5");
  EXPECT_EQ(ColumnDrawWidth(Grid::Square2, property, 40, 60), 40);
}

}  // namespace
}  // namespace kestrin
