// The song page as laid out: every control's place, size, caption, start
// text and how many characters it takes.

#include <QGroupBox>
#include <QLabel>

#include "song_page_fixture.h"

namespace kestrin {
namespace {

// A font as narrow as the one the layout was drawn for leaves every group
// at its layout size (a wider one lets them grow; the window tests cover that).
QFont NarrowFont() {
  QFont font;
  font.setPixelSize(8);
  return font;
}

class SongPageLayout : public SongPageTest {
 protected:
  SongPageLayout() : SongPageTest(NarrowFont()) {}
};

// The label of `group` that reads `text`, exactly.
QLabel* LabelIn(QWidget* group, const char* text) {
  for (QLabel* label : group->findChildren<QLabel*>()) {
    if (label->text() == QString::fromLatin1(text)) return label;
  }
  ADD_FAILURE() << "no label \"" << text << "\"";
  return nullptr;
}

TEST_F(SongPageLayout, GroupBoxesWithTheirCaptions) {
  struct Group {
    const char* name;
    const char* caption;
    QRect at;
  };
  const Group groups[] = {{"GroupBox4", " Select the song to edit ", QRect(4, 4, 129, 45)},
                          {"GroupBox2", " Song properties ", QRect(4, 52, 129, 117)},
                          {"GroupBox3", " Parts List ", QRect(140, 4, 81, 165)},
                          {"GroupBox1", " Part Header ", QRect(228, 4, 125, 165)}};
  for (const Group& g : groups) {
    auto* group = Find<QGroupBox>(g.name);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->parentWidget(), &page) << g.name;
    EXPECT_EQ(group->title(), QString::fromLatin1(g.caption)) << g.name;
    EXPECT_EQ(group->pos(), g.at.topLeft()) << g.name;
    EXPECT_EQ(group->size(), g.at.size()) << g.name;
  }
}

TEST_F(SongPageLayout, ControlsSitInTheirGroups) {
  struct Control {
    const char* name;
    const char* group;
    QRect at;
  };
  const Control controls[] = {{"CB_SongSelect", "GroupBox4", QRect(8, 16, 113, 21)},
                              {"E_firstPart", "GroupBox2", QRect(8, 20, 25, 21)},
                              {"E_lastPart", "GroupBox2", QRect(8, 54, 25, 21)},
                              {"E_loopPart", "GroupBox2", QRect(8, 88, 25, 21)},
                              {"LB_Parts", "GroupBox3", QRect(8, 16, 65, 117)},
                              {"E_Parts", "GroupBox3", QRect(8, 136, 65, 21)},
                              {"E_ph1", "GroupBox1", QRect(4, 16, 25, 21)},
                              {"E_ph2", "GroupBox1", QRect(4, 40, 40, 21)},
                              {"E_ph4", "GroupBox1", QRect(4, 64, 25, 21)},
                              {"E_ph5", "GroupBox1", QRect(4, 88, 25, 21)},
                              {"E_ph6", "GroupBox1", QRect(4, 112, 25, 21)},
                              {"E_ph7", "GroupBox1", QRect(4, 136, 25, 21)}};
  for (const Control& c : controls) {
    auto* control = Find<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(c.group)) << c.name;
    EXPECT_EQ(control->geometry(), c.at) << c.name;
  }
}

TEST_F(SongPageLayout, LabelsBesideTheBoxes) {
  struct Label {
    const char* group;
    const char* text;
    QPoint at;
  };
  const Label labels[] = {{"GroupBox2", "First part", QPoint(36, 24)},
                          {"GroupBox2", "Last part", QPoint(36, 58)},
                          {"GroupBox2", "Loop part", QPoint(36, 92)},
                          {"GroupBox1", "Tempo", QPoint(48, 20)},
                          {"GroupBox1", "Part Address", QPoint(48, 44)},
                          {"GroupBox1", "Square2 offset", QPoint(48, 68)},
                          {"GroupBox1", "Triangle offset", QPoint(48, 92)},
                          {"GroupBox1", "Noise offset", QPoint(48, 116)},
                          {"GroupBox1", "DMC offset", QPoint(48, 140)}};
  for (const Label& l : labels) {
    QLabel* label = LabelIn(Find<QWidget>(l.group), l.text);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pos(), l.at) << l.text;
  }
  EXPECT_EQ(Find<QWidget>("GroupBox2")->findChildren<QLabel*>().size(), 3);
  EXPECT_EQ(Find<QWidget>("GroupBox1")->findChildren<QLabel*>().size(), 6);
  EXPECT_TRUE(Find<QWidget>("GroupBox3")->findChildren<QLabel*>().isEmpty());
}

TEST_F(SongPageLayout, StartTextsAndAnEmptyList) {
  for (const char* name : {"E_firstPart", "E_lastPart", "E_loopPart", "E_ph1", "E_ph2", "E_ph4", "E_ph5",
                           "E_ph6", "E_ph7"}) {
    EXPECT_EQ(Box(name)->text(), "00") << name;
  }
  EXPECT_EQ(Box("E_Parts")->text(), "E_Parts");
  EXPECT_EQ(Parts()->count(), 0);
  EXPECT_EQ(Songs()->count(), 26);
}

TEST_F(SongPageLayout, TypingStopsAtEachBoxsLength) {
  struct Limit {
    const char* name;
    const char* typed;
    const char* kept;
  };
  const Limit limits[] = {{"E_firstPart", "123", "12"}, {"E_lastPart", "123", "12"},
                          {"E_loopPart", "123", "12"},  {"E_ph1", "ABC", "AB"},
                          {"E_ph2", "12345", "1234"},   {"E_ph4", "ABC", "AB"},
                          {"E_ph5", "ABC", "AB"},       {"E_ph6", "ABC", "AB"},
                          {"E_ph7", "ABC", "AB"},       {"E_Parts", "1F3", "1F"}};
  for (const Limit& l : limits) {
    Type(Box(l.name), QString::fromLatin1(l.typed));
    EXPECT_EQ(Box(l.name)->text(), QString::fromLatin1(l.kept)) << l.name;
  }
  // A paste into a shorter text keeps what fits.
  QLineEdit* parts = Box("E_Parts");
  parts->setText("7");
  parts->end(false);
  parts->insert("89A");
  EXPECT_EQ(parts->text(), "78");
  EXPECT_EQ(parts->cursorPosition(), 2) << "after what was kept of the paste";
  // A paste as long as the box allows replaces the whole text selected.
  parts->selectAll();
  parts->insert("3C");
  EXPECT_EQ(parts->text(), "3C");
}

}  // namespace
}  // namespace kestrin
