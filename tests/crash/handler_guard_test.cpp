// An exception from a slot of each kind the program connects reaches crash
// reporting in the slot's own frame (the guard), before it unwinds through
// Qt's: the report says so, and LeakSanitizer, in the sanitizer build, finds
// nothing Qt's skipped clean-up left behind. Each signal is fired from a
// posted event, as the event loop would.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <stdexcept>

#include "channel_grid.h"
#include "color_swatch.h"
#include "crash_fakes.h"
#include "dialog_service.h"
#include "guarded_slot.h"
#include "kestrin_application.h"
#include "main_window.h"
#include "status_line.h"

namespace kestrin {
namespace {

using testing::FakeCrashBox;
using testing::FakeLauncher;
using testing::Press;

[[gnu::noinline]] void GiveUp() { throw std::runtime_error("a handler gave up"); }

// The program's own menu and options handlers ask a dialog: this one fails.
class FailingDialogs final : public DialogService {
 public:
  MessageAnswer ShowMessage(const QString&, const QString&, MessageStyle) override { return MessageAnswer::No; }
  std::optional<QString> AskOpenFileName(const FileDialogRequest&) override {
    GiveUp();
    return std::nullopt;
  }
  std::optional<QString> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<QColor> AskColor(const QColor&) override {
    GiveUp();
    return std::nullopt;
  }
};

template <typename T>
T* Control(TMainWindow& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(control, nullptr) << name;
  return control;
}

struct HandlerKind {
  const char* name;
  // For the kinds whose handlers ask no dialog: a guarded slot of the test
  // beside the program's own on the same signal.
  std::function<void(TMainWindow&)> armExtraSlot;
  std::function<void(TMainWindow&)> fire;
};

void PrintTo(const HandlerKind& kind, std::ostream* out) { *out << kind.name; }

const HandlerKind kKinds[] = {
    {"menu", {},
     [](TMainWindow& w) {
       QMetaObject::invokeMethod(Control<QAction>(w, "Open1"), &QAction::trigger, Qt::QueuedConnection);
     }},
    {"options", {},
     [](TMainWindow& w) {
       QMetaObject::invokeMethod(Control<ColorSwatch>(w, "S_NoteColor"), "Pressed", Qt::QueuedConnection);
     }},
    {"grid",
     [](TMainWindow& w) {
       auto* grid = Control<ChannelGrid>(w, "Sq1_StrGrid");
       QObject::connect(grid, &ChannelGrid::CellClicked, grid, GuardedSlot([] { GiveUp(); }));
     },
     [](TMainWindow& w) {
       QMetaObject::invokeMethod(Control<ChannelGrid>(w, "Sq1_StrGrid"), "CellClicked", Qt::QueuedConnection,
                                 Q_ARG(int, 1), Q_ARG(int, 1));
     }},
    {"song page",
     [](TMainWindow& w) {
       auto* parts = Control<QListWidget>(w, "LB_Parts");
       QObject::connect(parts, &QListWidget::itemSelectionChanged, parts, GuardedSlot([] { GiveUp(); }));
     },
     [](TMainWindow& w) {
       QMetaObject::invokeMethod(Control<QListWidget>(w, "LB_Parts"), "itemSelectionChanged", Qt::QueuedConnection);
     }},
    {"edit groups",
     [](TMainWindow& w) {
       auto* button = Control<QToolButton>(w, "NoteButton");
       QObject::connect(button, &QToolButton::clicked, button, GuardedSlot([] { GiveUp(); }));
     },
     [](TMainWindow& w) {
       QMetaObject::invokeMethod(Control<QToolButton>(w, "NoteButton"), "click", Qt::QueuedConnection);
     }},
};

class HandlerGuardTest : public ::testing::TestWithParam<HandlerKind> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    setenv("XDG_STATE_HOME", home.path().toLocal8Bit().constData(), 1);
    app = qobject_cast<KestrinApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    reporter = std::make_unique<ExceptionReporter>(box, launcher);
    reporter->SetEnding([](Ending) { ADD_FAILURE() << "the program would have ended"; });
    app->SetExceptionReporter(reporter.get());
  }
  void TearDown() override {
    app->SetExceptionReporter(nullptr);
    unsetenv("XDG_STATE_HOME");
  }

  QTemporaryDir home;
  FakeCrashBox box;
  FakeLauncher launcher;
  KestrinApplication* app = nullptr;
  std::unique_ptr<ExceptionReporter> reporter;
};

TEST_P(HandlerGuardTest, ExceptionIsReportedAtTheHandlerAndTheWindowGoesOn) {
  const HandlerKind& kind = GetParam();
  FailingDialogs dialogs;
  TMainWindow window(dialogs);
  window.show();
  if (kind.armExtraSlot) kind.armExtraSlot(window);
  box.Script({Press::Continue});
  kind.fire(window);
  QCoreApplication::processEvents();

  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_TRUE(box.shown[0].message.contains(QStringLiteral("a handler gave up")));
  EXPECT_TRUE(box.shown[0].reportText.contains(QStringLiteral("Where: caught at the handler it escaped from\n")))
      << box.shown[0].reportText.toStdString();
  EXPECT_TRUE(box.shown[0].canContinue);
  // The window still answers.
  QMetaObject::invokeMethod(Control<QAction>(window, "Save1"), &QAction::trigger, Qt::QueuedConnection);
  QCoreApplication::processEvents();
  EXPECT_EQ(Control<StatusLine>(window, "StatusBar")->Text(), QStringLiteral("You should open a file before saving!"));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, HandlerGuardTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<HandlerKind>& kind) {
                           std::string name = kind.param.name;
                           for (char& c : name)
                             if (c == ' ') c = '_';
                           return name;
                         });

}  // namespace
}  // namespace kestrin
