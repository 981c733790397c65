// The options page through its real widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <array>

#include "color_swatch.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "fake_dialog_service.h"
#include "options_page.h"
#include "qt_color_word.h"
#include "status_line.h"

namespace kestrin {
namespace {

// Each colour swatch of the page and the setting it shows and stores.
struct SwatchSetting {
  const char* swatch;
  ColorWord EditorSettings::*setting;
};
constexpr std::array<SwatchSetting, 6> kSwatches{{
    {"S_NoteColor", &EditorSettings::noteColor},
    {"S_MuteColor", &EditorSettings::silenceColor},
    {"S_PropColor", &EditorSettings::notePropertiesColor},
    {"S_LoopColor", &EditorSettings::loopEndColor},
    {"S_FixedColor", &EditorSettings::notesIndexColor},
    {"S_BlankColor", &EditorSettings::emptyCaseColor},
}};

class OptionsPageTest : public ::testing::Test {
 protected:
  QLineEdit& Box(const char* name) {
    auto* box = page.findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(box, nullptr) << name;
    return *box;
  }
  ColorSwatch& Swatch(const char* name) {
    auto* swatch = page.findChild<ColorSwatch*>(QString::fromLatin1(name));
    EXPECT_NE(swatch, nullptr) << name;
    return *swatch;
  }
  // Empties the box the way a user does: select all, then Backspace.
  void Clear(QLineEdit& box) {
    box.selectAll();
    QTest::keyClick(&box, Qt::Key_Backspace);
  }

  EditingState state;
  EditorSettings settings;
  testing::FakeDialogService dialogs;
  StatusLine status;
  EditorContext context{state, settings, dialogs, status};
  OptionsPage page{context};
};

void ExpectStartValues(const EditorSettings& actual) {
  EXPECT_EQ(actual.pitchLightIntensity, 20);
  EXPECT_EQ(actual.caseHeight, 16);
  EXPECT_EQ(actual.propCaseLength, 40);
  EXPECT_EQ(actual.noteColor, MakeColorWord(0x40, 0x10, 0x10));
  EXPECT_EQ(actual.silenceColor, MakeColorWord(0xE0, 0xC0, 0xC0));
  EXPECT_EQ(actual.notePropertiesColor, MakeColorWord(0x70, 0x88, 0xD0));
  EXPECT_EQ(actual.loopEndColor, MakeColorWord(0x48, 0x7E, 0xB8));
  EXPECT_EQ(actual.notesIndexColor, MakeColorWord(0x80, 0x80, 0x80));
  EXPECT_EQ(actual.emptyCaseColor, MakeColorWord(0xFF, 0xFF, 0xFF));
  EXPECT_TRUE(actual.askBackup);
}

TEST(QtColorWord, RedLivesInTheLowByte) {
  EXPECT_EQ(ToColorWord(QColor(0x12, 0x34, 0x56)), 0x563412u);
  EXPECT_EQ(ToQColor(0x563412u), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(ToQColor(MakeColorWord(0x48, 0x7E, 0xB8)), QColor(0x48, 0x7E, 0xB8));
}

TEST_F(OptionsPageTest, ShowingMirrorsTheSettingsWithoutChangingThem) {
  // Before the first show the boxes hold the layout text, which must not
  // have reached the settings.
  EXPECT_EQ(Box("E_PitchLightInt").text(), "FF");
  ExpectStartValues(settings);

  page.show();
  EXPECT_EQ(Box("E_PitchLightInt").text(), "20");
  EXPECT_EQ(Box("E_CaseHeight").text(), "16");
  EXPECT_EQ(Box("E_PropCaseLength").text(), "40");
  EXPECT_TRUE(page.findChild<QCheckBox*>("Chk_AskBackup")->isChecked());
  EXPECT_EQ(Swatch("S_NoteColor").Color(), QColor(0x40, 0x10, 0x10));
  EXPECT_EQ(Swatch("S_MuteColor").Color(), QColor(0xE0, 0xC0, 0xC0));
  EXPECT_EQ(Swatch("S_PropColor").Color(), QColor(0x70, 0x88, 0xD0));
  EXPECT_EQ(Swatch("S_LoopColor").Color(), QColor(0x48, 0x7E, 0xB8));
  EXPECT_EQ(Swatch("S_FixedColor").Color(), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(Swatch("S_BlankColor").Color(), QColor(0xFF, 0xFF, 0xFF));
  ExpectStartValues(settings);
}

TEST_F(OptionsPageTest, ShowingAgainPicksUpSettingsChangedElsewhere) {
  page.show();
  page.hide();
  settings.pitchLightIntensity = -9;
  settings.caseHeight = -5;
  settings.propCaseLength = 1;
  settings.askBackup = false;
  // Each swatch its own colour: red 0x11 to 0x16, stored red in the low byte.
  ColorWord word = 0x563411u;
  for (const SwatchSetting& changed : kSwatches) settings.*changed.setting = word++;

  page.show();
  EXPECT_EQ(Box("E_PitchLightInt").text(), "-9");
  EXPECT_EQ(Box("E_CaseHeight").text(), "-5");
  EXPECT_EQ(Box("E_PropCaseLength").text(), "1");
  int red = 0x11;
  for (const SwatchSetting& shown : kSwatches)
    EXPECT_EQ(Swatch(shown.swatch).Color(), QColor(red++, 0x34, 0x56)) << shown.swatch;
  EXPECT_FALSE(page.findChild<QCheckBox*>("Chk_AskBackup")->isChecked());
  EXPECT_EQ(settings.pitchLightIntensity, -9);
  EXPECT_EQ(settings.caseHeight, -5);
  EXPECT_EQ(settings.propCaseLength, 1);
  EXPECT_FALSE(settings.askBackup);
}

TEST_F(OptionsPageTest, TypingUpdatesTheSettingsAtOnce) {
  page.show();
  QLineEdit& caseHeight = Box("E_CaseHeight");
  Clear(caseHeight);
  EXPECT_EQ(settings.caseHeight, 16);
  QTest::keyClick(&caseHeight, '2');
  EXPECT_EQ(settings.caseHeight, 2);
  QTest::keyClick(&caseHeight, '4');
  EXPECT_EQ(settings.caseHeight, 24);

  QLineEdit& propLength = Box("E_PropCaseLength");
  Clear(propLength);
  EXPECT_EQ(settings.propCaseLength, 16);
  QTest::keyClicks(&propLength, "0");
  EXPECT_EQ(settings.propCaseLength, 1);
  Clear(propLength);
  QTest::keyClicks(&propLength, "abc");
  EXPECT_EQ(settings.propCaseLength, 16);
  EXPECT_EQ(propLength.text(), "abc");  // the box keeps what was typed

  QLineEdit& pitch = Box("E_PitchLightInt");
  Clear(pitch);
  QTest::keyClicks(&pitch, "FF");
  EXPECT_EQ(settings.pitchLightIntensity, 20);
  Clear(pitch);
  QTest::keyClicks(&pitch, "$F");
  EXPECT_EQ(settings.pitchLightIntensity, 15);
  Clear(pitch);
  QTest::keyClicks(&pitch, "-9");
  EXPECT_EQ(settings.pitchLightIntensity, -9);
  Clear(pitch);
  QTest::keyClicks(&pitch, "123");  // at most two characters
  EXPECT_EQ(pitch.text(), "12");
  EXPECT_EQ(settings.pitchLightIntensity, 12);

  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(OptionsPageTest, EachSwatchStoresTheConfirmedColourInItsOwnSetting) {
  page.show();
  int shade = 1;
  for (const SwatchSetting& target : kSwatches) {
    const EditorSettings before = settings;
    const QColor chosen(0x10 * shade, 0x20, 0x30 + shade);
    dialogs.ChooseColor(chosen);
    QTest::mousePress(&Swatch(target.swatch), Qt::LeftButton);
    EXPECT_EQ(Swatch(target.swatch).Color(), chosen) << target.swatch;
    EXPECT_EQ(settings.*target.setting, ToColorWord(chosen)) << target.swatch;
    for (const SwatchSetting& other : kSwatches) {
      if (other.setting != target.setting) {
        EXPECT_EQ(settings.*other.setting, before.*other.setting)
            << target.swatch << " changed " << other.swatch;
      }
    }
    ++shade;
  }
}

TEST_F(OptionsPageTest, DialogOpensAtTheLastConfirmedColourAndCancelChangesNothing) {
  page.show();
  const QColor first(0x12, 0x34, 0x56);
  dialogs.ChooseColor(first);
  QTest::mousePress(&Swatch("S_NoteColor"), Qt::LeftButton);
  EXPECT_EQ(settings.noteColor, 0x563412u);

  // Cancelled, and pressed with another button: opens at the colour confirmed
  // for the note swatch, not at the blank swatch's own white.
  dialogs.ChooseColor(std::nullopt);
  QTest::mousePress(&Swatch("S_BlankColor"), Qt::RightButton);
  EXPECT_EQ(Swatch("S_BlankColor").Color(), QColor(Qt::white));
  EXPECT_EQ(settings.emptyCaseColor, MakeColorWord(0xFF, 0xFF, 0xFF));

  const QColor second(0xAB, 0xCD, 0xEF);
  dialogs.ChooseColor(second);
  QTest::mousePress(&Swatch("S_MuteColor"), Qt::LeftButton);
  QTest::mousePress(&Swatch("S_LoopColor"), Qt::LeftButton);  // cancelled by default

  const std::vector<QColor>& opened = dialogs.ColorRequests();
  ASSERT_EQ(opened.size(), 4u);
  EXPECT_EQ(opened[0], QColor(Qt::black));
  EXPECT_EQ(opened[1], first);
  EXPECT_EQ(opened[2], first);
  EXPECT_EQ(opened[3], second);
  EXPECT_EQ(settings.loopEndColor, MakeColorWord(0x48, 0x7E, 0xB8));
}

TEST_F(OptionsPageTest, BackupCheckBoxDrivesTheSetting) {
  page.show();
  auto* check = page.findChild<QCheckBox*>("Chk_AskBackup");
  ASSERT_NE(check, nullptr);
  QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
  EXPECT_FALSE(settings.askBackup);
  QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
  EXPECT_TRUE(settings.askBackup);
}

}  // namespace
}  // namespace kestrin
