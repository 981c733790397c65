// Where the platform would change what the user sees or leave something
// behind: file dialog patterns, settings written by Qt's dialogs, markup in
// paths and Qt's title placeholder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
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

}  // namespace
}  // namespace kestrin
