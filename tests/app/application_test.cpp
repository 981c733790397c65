// Exceptions that escape a handler reach the application object, which
// shows them and carries on with the next event.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMetaObject>
#include <stdexcept>

#include "fake_dialog_service.h"
#include "kestrin_application.h"
#include "main_window.h"
#include "status_line.h"

namespace kestrin {
namespace {

// The open dialog fails with an exception the first time it is asked.
class FailingOpenDialog final : public DialogService {
 public:
  MessageAnswer ShowMessage(const QString&, const QString&, MessageStyle) override {
    return MessageAnswer::No;
  }
  std::optional<QString> AskOpenFileName(const FileDialogRequest&) override {
    if (failures_++ == 0) throw std::runtime_error("the disk went away");
    return std::nullopt;
  }
  std::optional<QString> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<QColor> AskColor(const QColor&) override { return std::nullopt; }
  int Calls() const { return failures_; }

 private:
  int failures_ = 0;
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = qobject_cast<KestrinApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    app->SetDialogs(&shown);
  }
  void TearDown() override {
    if (app != nullptr) app->SetDialogs(nullptr);
  }
  // Triggers an action the way the event loop would: through a posted event.
  static void TriggerQueued(QAction* action) {
    QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    QCoreApplication::processEvents();
  }

  KestrinApplication* app = nullptr;
  testing::FakeDialogService shown;
};

TEST_F(ApplicationTest, HandlerExceptionIsShownAndTheWindowKeepsWorking) {
  FailingOpenDialog dialogs;
  TMainWindow window(dialogs);
  window.show();
  TriggerQueued(window.findChild<QAction*>(QStringLiteral("Open1")));

  ASSERT_EQ(shown.Messages().size(), 1u);
  EXPECT_EQ(shown.Messages()[0].text, QStringLiteral("the disk went away"));
  EXPECT_EQ(shown.Messages()[0].title, QStringLiteral("Kestrin Music Editor"));
  EXPECT_EQ(shown.Messages()[0].style, MessageStyle::OkError);

  // The next events are handled as usual.
  TriggerQueued(window.findChild<QAction*>(QStringLiteral("Save1")));
  EXPECT_EQ(window.findChild<StatusLine*>(QStringLiteral("StatusBar"))->Text(), QStringLiteral("You should open a file before saving!"));
  TriggerQueued(window.findChild<QAction*>(QStringLiteral("Open1")));
  EXPECT_EQ(dialogs.Calls(), 2);
  EXPECT_EQ(shown.Messages().size(), 1u);
  EXPECT_TRUE(window.isVisible());
}

TEST_F(ApplicationTest, ExceptionWithoutAMessageShowsAnEmptyOne) {
  app->ShowException(std::make_exception_ptr(42));
  ASSERT_EQ(shown.Messages().size(), 1u);
  EXPECT_EQ(shown.Messages()[0].text, QString());
  EXPECT_EQ(shown.Messages()[0].title, QStringLiteral("Kestrin Music Editor"));
}

}  // namespace
}  // namespace kestrin
