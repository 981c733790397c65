// The window under other desktop looks: dark palettes and the styles whose
// fonts run wider than the one the layout was drawn for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QToolButton>
#include <cstdlib>
#include <tuple>
#include <utility>

#include "app_icon.h"
#include "color_contrast.h"
#include "fake_dialog_service.h"
#include "light_rim.h"
#include "main_window.h"

namespace kestrin {
namespace {

QPalette DarkPalette() {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
  dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
  for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
    dark.setColor(role, QColor(0xE8, 0xE8, 0xE8));
  return dark;
}

// Pixels of `area` in `image` for which `counts` holds.
template <typename Predicate>
int PixelsWhere(const QImage& image, const QRect& area, Predicate counts) {
  int found = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (counts(image.pixelColor(x, y))) ++found;
    }
  }
  return found;
}

// Pixels of the button's 24 by 24 picture that stand out from the button's
// face beside it.
int VisiblePicturePixels(QToolButton& button) {
  const QImage image = button.grab().toImage();
  const QColor face = image.pixelColor(3, button.height() / 2);
  const QRect picture(QPoint((button.width() - 24) / 2, (button.height() - 24) / 2), QSize(24, 24));
  return PixelsWhere(image, picture, [&](const QColor& pixel) { return Contrast(pixel, face) >= 3.0; });
}

TEST(WindowLooks, EditModePicturesShowOnLightAndDarkButtons) {
  for (const bool darkTheme : {false, true}) {
    testing::FakeDialogService dialogs;
    TMainWindow window(dialogs);
    if (darkTheme) window.setPalette(DarkPalette());
    window.show();
    // Each with a place of its picture that must be ink: the beam between
    // the two notes' stems, the stroke across the circle, a staff line
    // right of the clef.
    const std::pair<const char*, QPoint> pictures[] = {
        {"NoteButton", {12, 5}}, {"MuteButton", {11, 12}}, {"PropButton", {20, 7}}};
    for (const auto& [name, ink] : pictures) {
      auto* button = window.findChild<QToolButton*>(QString::fromLatin1(name));
      ASSERT_NE(button, nullptr);
      // A stroke is a few dozen pixels; a picture that vanished leaves none.
      EXPECT_GE(VisiblePicturePixels(*button), 25) << name << (darkTheme ? " dark" : " light");
      // Drawn in black and greys only.
      const QImage picture = button->icon().pixmap(24, 24).toImage();
      const int coloured = PixelsWhere(picture, picture.rect(), [](const QColor& pixel) {
        return pixel.red() != pixel.green() || pixel.green() != pixel.blue();
      });
      EXPECT_EQ(coloured, 0) << name << (darkTheme ? " dark" : " light");
      // Smooth edges: pixels the strokes cover in part.
      const int partly =
          PixelsWhere(picture, picture.rect(), [](const QColor& pixel) { return pixel.alpha() % 255 != 0; });
      EXPECT_GE(partly, 10) << name << (darkTheme ? " dark" : " light");
      const QColor atInk = picture.pixelColor(ink);
      EXPECT_TRUE(atInk.alpha() == 255 && atInk.red() <= 0x80) << name << ": " << atInk.name(QColor::HexArgb).toStdString();
    }
  }
}

// The icon at each size: a black note (its head low left, its stem to the
// right, its flag right of the stem) on a light card with transparent
// corners. Places are given on the 48-unit canvas the icon is drawn on.
TEST(WindowLooks, TheIconIsANoteOnALightCardAtEverySize) {
  struct Place {
    const char* what;
    QPointF at;
    bool dark;
  };
  const Place places[] = {{"note head", {19, 34}, true},
                          {"stem", {26.75, 20}, true},
                          {"card", {38, 40}, false},
                          {"card left of the stem, where the flag starts", {20, 18.3}, false}};
  for (const int size : kAppIconSizes) {
    const QImage icon = DrawAppIcon(size);
    ASSERT_EQ(icon.size(), QSize(size, size));
    EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << size;
    for (const Place& place : places) {
      const QPointF scaled = place.at * size / 48;
      const QColor pixel = icon.pixelColor(static_cast<int>(scaled.x()), static_cast<int>(scaled.y()));
      EXPECT_EQ(pixel.alpha(), 255) << place.what << " at " << size;
      EXPECT_EQ(qGray(pixel.rgb()) < 128, place.dark) << place.what << " at " << size;
    }
  }
}

// One inked pixel, at the middle and at a corner: it stays as it was, its
// neighbours (those inside the picture) turn light and opaque, and nothing
// else is drawn.
TEST(WindowLooks, TheLightRimIsOnePixelAroundTheInk) {
  for (const QPoint ink : {QPoint(10, 10), QPoint(0, 23)}) {
    QImage picture(24, 24, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    picture.setPixelColor(ink, Qt::black);
    const QImage rimmed = WithLightRim(picture);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const QColor pixel = rimmed.pixelColor(x, y);
        const bool next = std::abs(x - ink.x()) <= 1 && std::abs(y - ink.y()) <= 1;
        if (QPoint(x, y) == ink) {
          EXPECT_EQ(pixel, QColor(Qt::black)) << x << "," << y;
        } else if (next) {
          EXPECT_TRUE(pixel.alpha() == 255 && qGray(pixel.rgb()) >= 224) << x << "," << y;
        } else {
          EXPECT_EQ(pixel.alpha(), 0) << x << "," << y;
        }
      }
    }
  }
}

// Restores the application's style when a test has changed it.
class StyleScope {
 public:
  explicit StyleScope(const QString& name) : previous_(QApplication::style()->name()) {
    QApplication::setStyle(QStyleFactory::create(name));
  }
  ~StyleScope() { QApplication::setStyle(QStyleFactory::create(previous_)); }
  StyleScope(const StyleScope&) = delete;
  StyleScope& operator=(const StyleScope&) = delete;

 private:
  QString previous_;
};

// Where the style draws a group's title, in the group's coordinates.
QRect TitleRect(const QGroupBox& group) {
  QStyleOptionGroupBox option;
  option.initFrom(&group);
  option.text = group.title();
  option.lineWidth = 1;
  option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
  option.textAlignment = group.alignment();
  return group.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &group);
}

void ExpectCaptionsWhole(const QGroupBox& group) {
  SCOPED_TRACE(group.objectName().toStdString());
  const QRect title = TitleRect(group);
  EXPECT_LE(title.right(), group.width() - 1);
  for (const QLabel* label : group.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
    const QRect text(label->pos(), QSize(label->fontMetrics().horizontalAdvance(label->text()), label->height()));
    EXPECT_LE(text.right(), group.width() - 1) << label->text().toStdString();
    // No control sits on top of the caption.
    for (const QWidget* other : group.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (other == label || qobject_cast<const QLabel*>(other) != nullptr) continue;
      EXPECT_FALSE(other->geometry().intersects(text))
          << label->text().toStdString() << " under " << other->objectName().toStdString();
    }
  }
}

TEST(WindowLooks, CaptionsShowWholeUnderWiderStylesAndFonts) {
  for (const char* styleName : {"Fusion", "Windows"}) {
    SCOPED_TRACE(styleName);
    StyleScope style(QString::fromLatin1(styleName));
    testing::FakeDialogService dialogs;
    TMainWindow window(dialogs);
    QFont wide = window.font();
    wide.setPixelSize(14);
    window.setFont(wide);
    window.show();
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PC_ChannelSelect"));
    ASSERT_NE(pages, nullptr);
    for (const int page : {0, 6}) {  // "Song and part selection", "Options"
      pages->setCurrentIndex(page);
      for (const QGroupBox* group : pages->currentWidget()->findChildren<QGroupBox*>()) ExpectCaptionsWhole(*group);
    }
    for (const char* name : {"GroupBox7", "GroupBox8"})
      ExpectCaptionsWhole(*window.findChild<QGroupBox*>(QString::fromLatin1(name)));

    // The groups of the window and of the song page still sit side by side.
    auto* editMode = window.findChild<QGroupBox*>(QStringLiteral("GroupBox8"));
    auto* noteProperties = window.findChild<QGroupBox*>(QStringLiteral("GroupBox7"));
    EXPECT_LT(editMode->geometry().right(), noteProperties->x());
    // Moved for their captions, the two combo boxes still line up.
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("CB_Instruments"))->x(),
              window.findChild<QWidget*>(QStringLiteral("CB_NoteLength"))->x());
    pages->setCurrentIndex(0);
    // Pushed right, a group keeps the room the layout leaves before it: 7
    // pixels on the song page, 3 on the Options page.
    const std::tuple<const char*, const char*, int> leftOf[] = {{"GroupBox4", "GroupBox3", 7},
                                                                {"GroupBox2", "GroupBox3", 7},
                                                                {"GroupBox3", "GroupBox1", 7},
                                                                {"GroupBox5", "GroupBox6", 3}};
    for (const auto& [left, right, gap] : leftOf) {
      EXPECT_GE(window.findChild<QGroupBox*>(QString::fromLatin1(right))->x() -
                    window.findChild<QGroupBox*>(QString::fromLatin1(left))->geometry().right() - 1,
                gap)
          << left << " and " << right;
    }
    // The song page asks for room for its groups and, right of and below
    // them, the 4-pixel margin they keep on the left and at the top.
    const QWidget* song = pages->currentWidget();
    const QRect groups = song->childrenRect();
    EXPECT_GE(song->minimumWidth(), groups.right() + 1 + 4);
    EXPECT_GE(song->minimumHeight(), groups.bottom() + 1 + 4);
  }
}

}  // namespace
}  // namespace kestrin
