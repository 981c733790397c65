#include "channel_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <map>
#include <string>

namespace kestrin {
namespace {

std::uint8_t Byte(int value) { return static_cast<std::uint8_t>(value); }

TEST(ClassifyTest, EveryByteValueHasExactlyOneKindWithTheExpectedCounts) {
  std::map<ByteKind, int> counts;
  for (int b = 0; b <= 0xFF; ++b) ++counts[Classify(Byte(b))];
  EXPECT_EQ(counts[ByteKind::End], 1);
  EXPECT_EQ(counts[ByteKind::Note], 0x7D);
  EXPECT_EQ(counts[ByteKind::Silence], 1);
  EXPECT_EQ(counts[ByteKind::Other], 2);
  EXPECT_EQ(counts[ByteKind::Property], 0xFF - 0x80);
}

TEST(ClassifyTest, BoundariesBetweenKinds) {
  EXPECT_EQ(Classify(0x00), ByteKind::End);
  EXPECT_EQ(Classify(0x01), ByteKind::Note);
  EXPECT_EQ(Classify(0x7D), ByteKind::Note);
  EXPECT_EQ(Classify(0x7E), ByteKind::Silence);
  EXPECT_EQ(Classify(0x7F), ByteKind::Other);
  // Shaped like "instrument 8, length 0" but deliberately not a property byte.
  EXPECT_EQ(Classify(0x80), ByteKind::Other);
  EXPECT_EQ(Classify(0x81), ByteKind::Property);
  EXPECT_EQ(Classify(0xFF), ByteKind::Property);
}

TEST(NoteByteTest, EveryNoteByteIsNamedConsistently) {
  for (int b = 0x01; b <= 0x7D; ++b) {
    const std::uint8_t note = Byte(b);
    SCOPED_TRACE(b);
    // Odd bytes share the semitone of the even byte below them.
    EXPECT_EQ(SemitoneNumber(note), SemitoneNumber(Byte(b & ~1)));
    EXPECT_LE(SemitoneNumber(note), 62);
    EXPECT_GE(OctaveNumber(note), 2);
    EXPECT_LE(OctaveNumber(note), 7);
    if (b < 2) continue;
    // The octave steps up exactly at every C, and only there.
    const bool stepsUp = OctaveNumber(note) == OctaveNumber(Byte(b - 1)) + 1;
    EXPECT_EQ(stepsUp, b % 24 == 0);
    EXPECT_EQ(stepsUp, b % 2 == 0 && NoteName(PitchClass(note)) == "C");
  }
}

TEST(NoteByteTest, NamedExamples) {
  EXPECT_EQ(NoteName(PitchClass(0x02)), "C#");
  EXPECT_EQ(OctaveNumber(0x02), 2);
  EXPECT_EQ(NoteName(PitchClass(0x18)), "C");
  EXPECT_EQ(OctaveNumber(0x18), 3);
  EXPECT_EQ(NoteName(PitchClass(0x7C)), "D");
  EXPECT_EQ(OctaveNumber(0x7C), 7);
  EXPECT_EQ(NoteName(PitchClass(0x01)), "C");
  const std::array<std::string_view, 12> chromatic{"C", "C#", "D", "D#", "E", "F",
                                                   "F#", "G", "G#", "A", "A#", "B"};
  for (int p = 0; p < 12; ++p) EXPECT_EQ(NoteName(p), chromatic[static_cast<std::size_t>(p)]);
  // Out-of-range pitch classes wrap instead of reading outside the table.
  EXPECT_EQ(NoteName(12), "C");
  EXPECT_EQ(NoteName(-1), "B");
}

TEST(NoteRowTest, Square1RowsRoundTripAndPairBytes) {
  for (int r = 1; r <= 62; ++r) {
    const std::uint8_t note = Square1NoteForRow(r);
    SCOPED_TRACE(r);
    EXPECT_EQ(Classify(note), ByteKind::Note);
    EXPECT_EQ(NoteRow(Grid::Square1, note), r);
    // The odd byte above sits in the same row.
    EXPECT_EQ(NoteRow(Grid::Square1, Byte(note + 1)), r);
  }
  EXPECT_EQ(Square1NoteForRow(1), 0x7C);
  EXPECT_EQ(Square1NoteForRow(62), 0x02);
  EXPECT_EQ(NoteRow(Grid::Square1, 0x18), 51);
  EXPECT_EQ(NoteRow(Grid::Square1, 0x7D), NoteRow(Grid::Square1, 0x7C));
}

TEST(NoteRowTest, Byte01IsANoteBelowTheSquare1Grid) {
  EXPECT_EQ(Square1NoteRow(0x01), 63);
  EXPECT_EQ(NoteRow(Grid::Square1, 0x01), std::nullopt);
  EXPECT_EQ(NoteRow(Grid::Square2, 0x01), std::nullopt);
}

TEST(NoteRowTest, Square2RowsOfEvenNotesRepitchBackAndOddNotesHaveNone) {
  for (int b = 0x01; b <= 0x7D; ++b) {
    const std::uint8_t note = Byte(b);
    SCOPED_TRACE(b);
    const std::optional<int> row = NoteRow(Grid::Square2, note);
    if (b % 2 != 0) {
      EXPECT_EQ(row, std::nullopt);
      continue;
    }
    ASSERT_TRUE(row.has_value());
    EXPECT_GE(*row, 1);
    EXPECT_LE(*row, 12);
    EXPECT_EQ(Square2Repitch(note, *row), note);
  }
  EXPECT_EQ(NoteRow(Grid::Square2, 0x02), 11);
  EXPECT_EQ(NoteRow(Grid::Square2, 0x18), 12);
  EXPECT_EQ(NoteRow(Grid::Square2, 0x30), 12);
  EXPECT_EQ(NoteRow(Grid::Square2, 0x7C), 10);
}

TEST(NoteRowTest, NonNoteBytesHaveNoRow) {
  for (int b : {0x00, 0x7E, 0x7F, 0x80, 0x84, 0xFF}) {
    EXPECT_EQ(Square1NoteRow(Byte(b)), std::nullopt) << b;
    EXPECT_EQ(NoteRow(Grid::Square1, Byte(b)), std::nullopt) << b;
    EXPECT_EQ(NoteRow(Grid::Square2, Byte(b)), std::nullopt) << b;
  }
}

TEST(Square2RepitchTest, StaysInTheOctaveAndRowZeroGoesAnOctaveUp) {
  EXPECT_EQ(Square2Repitch(0x1C, 12), 0x18);  // C of octave 3
  EXPECT_EQ(Square2Repitch(0x1C, 1), 0x2E);   // B of octave 3
  EXPECT_EQ(Square2Repitch(0x1C, 0), 0x30);   // C of octave 4
  EXPECT_EQ(Square2Repitch(0x19, 12), 0x18);  // odd bytes move too
}

TEST(Square2RepitchTest, TopOctaveLeavesTheNoteRange) {
  for (int b = 0x78; b <= 0x7D; ++b) {
    SCOPED_TRACE(b);
    for (int r = 1; r <= 9; ++r) {
      const std::uint8_t moved = Square2Repitch(Byte(b), r);
      EXPECT_EQ(moved, 0x8E - 2 * (r - 1));
      EXPECT_NE(Classify(moved), ByteKind::Note);
    }
    EXPECT_EQ(Square2Repitch(Byte(b), 9), 0x7E);
    EXPECT_EQ(Square2Repitch(Byte(b), 0), 0x90);
    EXPECT_EQ(Classify(Square2Repitch(Byte(b), 0)), ByteKind::Property);
  }
}

TEST(RowLabelTest, Square1Labels) {
  EXPECT_EQ(RowLabel(Grid::Square1, 1), "D");
  EXPECT_EQ(RowLabel(Grid::Square1, 3), "C");
  EXPECT_EQ(RowLabel(Grid::Square1, 62), "C#");
}

TEST(RowLabelTest, Square2Labels) {
  const std::array<std::string_view, 12> expected{"B", "A#", "A", "G#", "G", "F#",
                                                  "F", "E", "D#", "D", "C#", "C"};
  for (int r = 1; r <= 12; ++r) {
    EXPECT_EQ(RowLabel(Grid::Square2, r), expected[static_cast<std::size_t>(r - 1)]) << r;
  }
}

TEST(RowLabelTest, EveryDrawnNoteSitsInARowLabelledWithItsName) {
  for (const Grid grid : {Grid::Square1, Grid::Square2}) {
    for (int b = 0x01; b <= 0x7D; ++b) {
      if (const std::optional<int> row = NoteRow(grid, Byte(b))) {
        EXPECT_EQ(RowLabel(grid, *row), NoteName(PitchClass(Byte(b)))) << b;
      }
    }
  }
}

TEST(RowLabelTest, HeaderRowAndMissingRowsHaveNoLabel) {
  EXPECT_EQ(RowLabel(Grid::Square1, 0), "");
  EXPECT_EQ(RowLabel(Grid::Square1, 63), "");
  EXPECT_EQ(RowLabel(Grid::Square2, 0), "");
  EXPECT_EQ(RowLabel(Grid::Square2, 13), "");
  EXPECT_EQ(RowLabel(Grid::Square2, -5), "");
}

TEST(PropertyByteTest, ComposesFromItemPositions) {
  EXPECT_EQ(ComposePropertyByte(0, 4), 0x84);  // "Instr. 8", "1"
  EXPECT_EQ(ComposePropertyByte(7, 12), 0xFC);  // "Instr. F", "8"
  EXPECT_EQ(ComposePropertyByte(2, 2), 0xA2);   // "Instr. A", "0.5"
  EXPECT_EQ(ComposePropertyByte(4, 8), 0xC8);
  EXPECT_EQ(ComposePropertyByte(0, 0), 0x80);
  EXPECT_EQ(Classify(ComposePropertyByte(0, 0)), ByteKind::Other);
}

TEST(PropertyByteTest, UnmatchedComboTextStillComposes) {
  EXPECT_EQ(ComposePropertyByte(-1, 4), 0x74);
  EXPECT_EQ(Classify(0x74), ByteKind::Note);
  EXPECT_EQ(ComposePropertyByte(0, -1), 0x7F);
  EXPECT_EQ(Classify(0x7F), ByteKind::Other);
  // Any int pair gives a byte without overflow (checked under the sanitizers).
  EXPECT_EQ(ComposePropertyByte(INT_MAX, INT_MAX), Byte(((0x7F + 8) * 16 + 0xFF) & 0xFF));
  EXPECT_EQ(ComposePropertyByte(INT_MIN, INT_MIN), 0x80);
}

TEST(PropertyByteTest, EveryPropertyByteSplitsAndRecomposes) {
  for (int b = 0x81; b <= 0xFF; ++b) {
    const std::uint8_t property = Byte(b);
    const int instrument = InstrumentNumber(property);
    const int length = LengthCode(property);
    SCOPED_TRACE(b);
    EXPECT_GE(instrument, 8);
    EXPECT_LE(instrument, 0xF);
    EXPECT_GE(length, 0);
    EXPECT_LE(length, 15);
    EXPECT_EQ(ComposePropertyByte(instrument - 8, length), property);
  }
}

TEST(PropertyByteTest, ItemListsAndTheirStartItems) {
  const std::array<std::string_view, 8> instruments{"Instr. 8", "Instr. 9", "Instr. A", "Instr. B",
                                                    "Instr. C", "Instr. D", "Instr. E", "Instr. F"};
  const std::array<std::string_view, 13> lengths{"Undefined / < 0.25", "0.25", "0.5", "0.75 ?", "1",
                                                 "1.25 ?", "1.50 ?", "1.75 ?", "2", "3", "4",
                                                 "Undefined / > 4", "8"};
  EXPECT_EQ(kInstrumentItems, instruments);
  EXPECT_EQ(kNoteLengthItems, lengths);
  EXPECT_EQ(kDefaultInstrumentIndex, 0);
  EXPECT_EQ(kDefaultNoteLengthIndex, 4);
  const char* digits = "0123456789ABCDEF";
  for (std::size_t i = 0; i < instruments.size(); ++i) {
    const int instrument = InstrumentNumber(ComposePropertyByte(static_cast<int>(i), 4));
    EXPECT_EQ(instruments[i], std::string("Instr. ") + digits[instrument]);
  }
}

TEST(DurationTest, WidthsOfEveryLengthCodeInBothGrids) {
  const std::array<int, 16> square1{10, 10, 20, 40, 40, 40, 40, 40, 80, 120, 160, 40, 320, 40, 40, 40};
  const std::array<int, 16> square2{10, 10, 20, 30, 40, 50, 60, 70, 80, 120, 160, 320, 320, 40, 40, 40};
  for (int code = 0; code < 16; ++code) {
    const auto i = static_cast<std::size_t>(code);
    SCOPED_TRACE(code);
    EXPECT_EQ(DurationWidth(Grid::Square1, code), square1[i]);
    EXPECT_EQ(DurationWidth(Grid::Square2, code), square2[i]);
    EXPECT_DOUBLE_EQ(DurationFactor(Grid::Square1, code) * 40, square1[i]);
    EXPECT_DOUBLE_EQ(DurationFactor(Grid::Square2, code) * 40, square2[i]);
  }
}

TEST(DurationTest, ItemsWithAValueNameTheSquare2Factor) {
  // Every item except the two "Undefined" ones states its Square 2 factor.
  for (std::size_t code = 1; code < kNoteLengthItems.size(); ++code) {
    if (code == 11) continue;
    const std::string item(kNoteLengthItems[code]);
    EXPECT_DOUBLE_EQ(std::stod(item), DurationFactor(Grid::Square2, static_cast<int>(code))) << item;
  }
}

TEST(DurationTest, WidthIsTheIntegerPartForOtherUnitsAndNeverOverflows) {
  EXPECT_EQ(DurationWidth(Grid::Square1, 1, 30), 7);  // 7.5
  EXPECT_EQ(DurationWidth(Grid::Square2, 3, 10), 7);  // 7.5
  EXPECT_EQ(DurationWidth(Grid::Square1, 12, INT_MAX), INT_MAX);
  EXPECT_EQ(DurationWidth(Grid::Square1, 12, INT_MIN), INT_MIN);
  EXPECT_DOUBLE_EQ(DurationFactor(Grid::Square1, 16), 1.0);
  EXPECT_DOUBLE_EQ(DurationFactor(Grid::Square2, -1), 1.0);
}

}  // namespace
}  // namespace kestrin
