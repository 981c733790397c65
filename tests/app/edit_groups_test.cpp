// The " Note Properties Byte " group: what the two editable combo boxes
// report for chosen items and for typed text.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "note_properties_group.h"

namespace kestrin {
namespace {

class NotePropertiesGroupTest : public ::testing::Test {
 protected:
  QComboBox* Box(const char* name) { return group.findChild<QComboBox*>(QString::fromLatin1(name)); }
  void Type(const char* name, const QString& text) {
    QLineEdit* edit = Box(name)->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

  NotePropertiesGroup group;
};

TEST_F(NotePropertiesGroupTest, StartItemsComposeInstrument8Length1) {
  EXPECT_EQ(group.InstrumentPosition(), 0);
  EXPECT_EQ(group.NoteLengthPosition(), 4);
  EXPECT_EQ(group.ComposedByte(), 0x84);
}

TEST_F(NotePropertiesGroupTest, ChosenItemsGiveTheirPositions) {
  Box("CB_Instruments")->setCurrentIndex(4);  // "Instr. C"
  Box("CB_NoteLength")->setCurrentIndex(8);   // "2"
  EXPECT_EQ(group.ComposedByte(), 0xC8);
  Box("CB_Instruments")->setCurrentIndex(0);
  Box("CB_NoteLength")->setCurrentIndex(0);   // "Undefined / < 0.25"
  EXPECT_EQ(group.ComposedByte(), 0x80);
}

TEST_F(NotePropertiesGroupTest, TypedTextNamingAnItemSelectsIt) {
  Type("CB_Instruments", QStringLiteral("Instr. F"));
  Type("CB_NoteLength", QStringLiteral("0.75 ?"));
  EXPECT_EQ(group.InstrumentPosition(), 7);
  EXPECT_EQ(group.NoteLengthPosition(), 3);
  EXPECT_EQ(group.ComposedByte(), 0xF3);
}

TEST_F(NotePropertiesGroupTest, TypedTextMatchingNoItemGivesMinusOne) {
  Type("CB_Instruments", QStringLiteral("Instr. G"));
  Type("CB_NoteLength", QStringLiteral("instr"));
  EXPECT_EQ(group.InstrumentPosition(), -1);
  EXPECT_EQ(group.NoteLengthPosition(), -1);
  EXPECT_EQ(group.ComposedByte(), 0x6F);  // ((-1 + 8) * 16 - 1) mod 256
  // Partial or differently cased text is no match either.
  Type("CB_NoteLength", QStringLiteral("1.5"));
  EXPECT_EQ(group.NoteLengthPosition(), -1);
  Type("CB_Instruments", QStringLiteral("instr. 8"));
  EXPECT_EQ(group.InstrumentPosition(), -1);
}

TEST_F(NotePropertiesGroupTest, EnterNeverAddsTypedTextToTheList) {
  Type("CB_NoteLength", QStringLiteral("16"));
  QTest::keyClick(Box("CB_NoteLength")->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(Box("CB_NoteLength")->count(), 13);
  EXPECT_EQ(group.NoteLengthPosition(), -1);
}

}  // namespace
}  // namespace kestrin
