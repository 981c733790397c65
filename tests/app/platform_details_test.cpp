// Where the platform would change what the user sees or leave something
// behind: file dialog patterns, settings written by Qt's dialogs, markup in
// paths and Qt's title placeholder.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QSettings>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QStandardPaths>

#include "fake_dialog_service.h"
#include "main_window.h"
#include "qt_dialog_service.h"
#include "status_line.h"
#include "when_shown.h"

namespace kestrin {
namespace {

TEST(PlatformNameFilters, KeepEveryEntryTextAndMatchEveryFileForStarDotStar) {
  EXPECT_EQ(PlatformNameFilters(QStringLiteral("NES files (*.nes);;All Files (*.*)")),
            QStringList({QStringLiteral("NES files (*.nes) (*.nes)"),
                         QStringLiteral("All Files (*.*) (*)")}));
  EXPECT_EQ(PlatformNameFilters(QStringLiteral("Plain")), QStringList({QStringLiteral("Plain")}));
}

TEST(DialogSettings, StayOutOfTheUsersSettingsFolder) {
  // Qt's dialogs keep their history under this name; the program points it
  // at a folder of its own that is removed when the program ends.
  QSettings dialogHistory(QSettings::UserScope, QStringLiteral("QtProject"));
  const QString file = QDir::cleanPath(dialogHistory.fileName());
  const QString userConfig =
      QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  EXPECT_FALSE(file.startsWith(userConfig + u'/')) << file.toStdString();
}

// The program writes "hack.nes" for the name "hack": the file commands ask
// about the file really written, so the dialog must not ask about the name
// typed as well.
TEST(SaveDialog, LeavesTheOverwriteQuestionToTheFileCommands) {
  std::optional<bool> confirms;
  QTimer::singleShot(0, [&confirms] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(widget);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      dialog->reject();
    }
  });
  QtDialogService dialogs;
  EXPECT_EQ(dialogs.AskSaveFileName(FileDialogRequest{QStringLiteral("Nes files (*.nes)")}), std::nullopt);
  ASSERT_TRUE(confirms.has_value());
  EXPECT_FALSE(*confirms);
}

// Every kind of message the program shows: its icon, buttons, plain text,
// and the answer each way out gives.
TEST(QtMessages, EachStyleShowsItsBoxAndGivesItsAnswer) {
  struct Case {
    const char* label;
    MessageStyle style;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;  // NoButton: Enter is pressed
    MessageAnswer expected;
  };
  const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
  const Case cases[] = {
      {"question, Yes", MessageStyle::YesNoQuestion, QMessageBox::Question, yesNo, QMessageBox::Yes, MessageAnswer::Yes},
      {"question, No", MessageStyle::YesNoQuestion, QMessageBox::Question, yesNo, QMessageBox::No, MessageAnswer::No},
      {"warning, Yes", MessageStyle::YesNoWarningNoByDefault, QMessageBox::Warning, yesNo, QMessageBox::Yes,
       MessageAnswer::Yes},
      {"warning, Enter", MessageStyle::YesNoWarningNoByDefault, QMessageBox::Warning, yesNo, QMessageBox::NoButton,
       MessageAnswer::No},
      {"error", MessageStyle::OkError, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, MessageAnswer::Ok},
      {"warning to read", MessageStyle::OkWarning, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok,
       MessageAnswer::Ok},
  };
  const QString text = QStringLiteral("<b>/tmp/a&b.nes</b>");
  for (const Case& message : cases) {
    SCOPED_TRACE(message.label);
    const auto shown = testing::WhenShown(
        [](const QWidget& widget) { return qobject_cast<const QMessageBox*>(&widget) != nullptr; },
        [&](QWidget& widget) {
          auto& box = static_cast<QMessageBox&>(widget);
          EXPECT_EQ(box.windowTitle(), QStringLiteral("Warning!"));
          EXPECT_EQ(box.text(), text);
          EXPECT_EQ(box.textFormat(), Qt::PlainText);
          EXPECT_EQ(box.icon(), message.icon);
          EXPECT_EQ(box.standardButtons(), message.buttons);
          if (message.press == QMessageBox::NoButton) {
            QTest::keyClick(&box, Qt::Key_Return);
          } else if (QAbstractButton* button = box.button(message.press)) {
            QTest::mouseClick(button, Qt::LeftButton);
          } else {
            box.close();
          }
        },
        "the message box");
    QtDialogService dialogs;
    EXPECT_EQ(dialogs.ShowMessage(text, QStringLiteral("Warning!"), message.style), message.expected);
  }
}

}  // namespace
}  // namespace kestrin
