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
#include "shell_texts.h"
#include "status_line.h"

namespace kestrin {
namespace {

TEST(PlatformNameFilters, KeepEveryEntryTextAndMatchEveryFileForStarDotStar) {
  EXPECT_EQ(PlatformNameFilters(shell_texts::kOpenFilter),
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

TEST(WindowTexts, PathsAreShownLiterally) {
  testing::FakeDialogService dialogs;
  TMainWindow window(dialogs);
  auto* status = window.findChild<StatusLine*>(QStringLiteral("StatusBar"));
  const QString markup = QStringLiteral("/roms/<b>bold</b>.nes loaded successfully!");
  status->Set(markup);
  const auto* label = status->findChild<QLabel*>(QStringLiteral("StatusText"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(status->Text(), markup);
}

}  // namespace
}  // namespace kestrin
