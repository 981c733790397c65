// The Options page as laid out: every control's place, size and caption,
// and what a colour swatch paints.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTest>

#include "color_swatch.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "fake_dialog_service.h"
#include "options_page.h"
#include "status_line.h"

namespace kestrin {
namespace {

class OptionsLayout : public ::testing::Test {
 protected:
  template <typename T>
  T* Find(const char* name) {
    auto* child = page.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  // The label of `group` that reads `text`, exactly.
  QLabel* Caption(QWidget* group, const char* text) {
    for (QLabel* label : group->findChildren<QLabel*>()) {
      if (label->text() == QString::fromLatin1(text)) return label;
    }
    ADD_FAILURE() << "no caption \"" << text << "\"";
    return nullptr;
  }

  EditingState state;
  EditorSettings settings;
  testing::FakeDialogService dialogs;
  StatusLine status;
  EditorContext context{state, settings, dialogs, status};
  OptionsPage page{context};
};

TEST_F(OptionsLayout, GroupsStandWhereTheLayoutPutsThem) {
  auto* colors = Find<QGroupBox>("GroupBox5");
  auto* options = Find<QGroupBox>("GroupBox6");
  EXPECT_EQ(colors->title(), " Colors ");
  EXPECT_EQ(options->title(), " Editor options ");
  EXPECT_EQ(colors->geometry(), QRect(4, 4, 145, 169));
  EXPECT_EQ(options->geometry(), QRect(152, 4, 185, 169));
  EXPECT_EQ(colors->parentWidget(), &page);
  EXPECT_EQ(options->parentWidget(), &page);

  // A style whose font needs more room widens a group, never moves or
  // shortens one.
  page.show();
  EXPECT_EQ(colors->pos(), QPoint(4, 4));
  EXPECT_GE(colors->width(), 145);
  EXPECT_EQ(colors->height(), 169);
  EXPECT_EQ(options->y(), 4);
  EXPECT_GE(options->x(), 152);
  EXPECT_GE(options->width(), 185);
  EXPECT_EQ(options->height(), 169);
}

TEST_F(OptionsLayout, SwatchesAndTheirCaptions) {
  struct Row {
    const char* swatch;
    int top;
    const char* caption;
    int captionTop;
  };
  const Row rows[] = {{"S_NoteColor", 16, "Note color", 20},
                      {"S_MuteColor", 41, "Silence Color", 44},
                      {"S_PropColor", 65, "Note Properties Color", 68},
                      {"S_LoopColor", 89, "Loop/end Color", 92},
                      {"S_FixedColor", 113, "Notes Index Color", 116},
                      {"S_BlankColor", 137, "Empty Case Color", 140}};
  auto* colors = Find<QGroupBox>("GroupBox5");
  page.show();
  for (const Row& row : rows) {
    auto* swatch = Find<ColorSwatch>(row.swatch);
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->parentWidget(), colors) << row.swatch;
    EXPECT_EQ(swatch->geometry(), QRect(8, row.top, 20, 20)) << row.swatch;
    QLabel* caption = Caption(colors, row.caption);
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->pos(), QPoint(36, row.captionTop)) << row.caption;
  }
  EXPECT_EQ(colors->findChildren<QLabel*>().size(), 6);
}

TEST_F(OptionsLayout, EditorOptionsBoxesAndLabels) {
  auto* options = Find<QGroupBox>("GroupBox6");
  page.show();
  auto* check = Find<QCheckBox>("Chk_AskBackup");
  EXPECT_EQ(check->text(), "Ask for backup file creation");
  EXPECT_EQ(check->pos(), QPoint(8, 20));
  EXPECT_GE(check->width(), 153);  // wider only where the style's font needs it
  EXPECT_EQ(check->height(), 17);

  struct Row {
    const char* box;
    int top;
    const char* label;
  };
  const Row rows[] = {{"E_PitchLightInt", 40, "Added color intensity for pitch"},
                      {"E_CaseHeight", 64, "Case height"},
                      {"E_PropCaseLength", 88, "Properties case length"}};
  for (const Row& row : rows) {
    auto* box = Find<QLineEdit>(row.box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), options) << row.box;
    EXPECT_EQ(box->geometry(), QRect(8, row.top, 21, 21)) << row.box;
    QLabel* label = Caption(options, row.label);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pos(), QPoint(36, row.top + 4)) << row.label;
  }
  EXPECT_EQ(options->findChildren<QLabel*>().size(), 3);
  EXPECT_EQ(Find<QLineEdit>("E_PitchLightInt")->maxLength(), 2);
}

TEST_F(OptionsLayout, AFreshPageAndProgramStartTicksTheBackupBox) {
  EXPECT_TRUE(Find<QCheckBox>("Chk_AskBackup")->isChecked());
}

// Every pixel of the swatch's outermost ring is black, every pixel inside
// it is the swatch's colour.
void ExpectOutlinedSwatch(ColorSwatch& swatch, const QColor& color) {
  const QImage image = swatch.grab().toImage();
  ASSERT_EQ(image.size(), QSize(20, 20));
  int outline = 0, inside = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool edge = x == 0 || y == 0 || x == 19 || y == 19;
      const QColor expected = edge ? QColor(Qt::black) : color;
      if (image.pixelColor(x, y) == expected) ++(edge ? outline : inside);
    }
  }
  EXPECT_EQ(outline, 76) << swatch.objectName().toStdString();
  EXPECT_EQ(inside, 18 * 18) << swatch.objectName().toStdString();
}

TEST_F(OptionsLayout, SwatchesPaintTheirColourInsideABlackOutline) {
  page.show();
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_NoteColor"), QColor(0x40, 0x10, 0x10));
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_MuteColor"), QColor(0xE0, 0xC0, 0xC0));
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_PropColor"), QColor(0x70, 0x88, 0xD0));
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_LoopColor"), QColor(0x48, 0x7E, 0xB8));
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_FixedColor"), QColor(0x80, 0x80, 0x80));
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_BlankColor"), QColor(0xFF, 0xFF, 0xFF));

  // A chosen colour is painted the same way.
  dialogs.ChooseColor(QColor(0x12, 0x34, 0x56));
  QTest::mousePress(Find<ColorSwatch>("S_LoopColor"), Qt::LeftButton);
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_LoopColor"), QColor(0x12, 0x34, 0x56));

  // A dark theme's white text leaves the outline black.
  QPalette dark = page.palette();
  dark.setColor(QPalette::WindowText, Qt::white);
  page.setPalette(dark);
  ExpectOutlinedSwatch(*Find<ColorSwatch>("S_NoteColor"), QColor(0x40, 0x10, 0x10));
}

}  // namespace
}  // namespace kestrin
