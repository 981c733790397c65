// Where the platform would change what the user sees or leave something
// behind: file dialog patterns, settings written by Qt's dialogs, markup in
// paths and Qt's title placeholder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QSettings>
#include <QLabel>
#include <QStandardPaths>

#include "fake_dialog_service.h"
#include "main_window.h"
#include "qt_dialog_service.h"
#include "status_line.h"

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

}  // namespace
}  // namespace kestrin
