// An exception escaping an event handler: the report it leaves, the box it
// shows and what each of the box's choices does.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "crash_fakes.h"
#include "crash_session.h"
#include "editor_facts.h"
#include "editor_facts_source.h"
#include "fatal_signal_handler.h"
#include "fake_dialog_service.h"
#include "kestrin_application.h"
#include "main_window.h"
#include "status_line.h"

namespace kestrin {
namespace {

using testing::FakeCrashBox;
using testing::FakeLauncher;
using testing::Press;

[[gnu::noinline]] void SaveTheWorldHandler() { throw std::runtime_error("the disk went away"); }

// A handler that fails on an event of its own. (A QAction would do as well
// in the program, but Qt's widget library is built without exception
// clean-ups: unwinding through QAction::activate leaks the guard it holds,
// which LeakSanitizer would count against this test.)
class FailingHandler final : public QObject {
 public:
  static QEvent::Type FailEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  bool event(QEvent* event) override {
    if (event->type() == FailEvent()) SaveTheWorldHandler();
    return QObject::event(event);
  }
};

TMainWindow* shownWindow = nullptr;
crash::EditorFacts ShownWindowFacts() { return FactsOf(shownWindow->State()); }

QString ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

class ExceptionPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    setenv("XDG_STATE_HOME", home.path().toLocal8Bit().constData(), 1);
    reportPath = home.path() + QStringLiteral("/kestrin-music-editor/bugreport.txt");
    app = qobject_cast<KestrinApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    reporter = std::make_unique<ExceptionReporter>(box, launcher);
    reporter->SetEnding([this](Ending ending) { endings.push_back(ending); });
    reporter->SetWindowSource([this]() -> QWidget* { return &window; });
    app->SetExceptionReporter(reporter.get());
    shownWindow = &window;
    crash::SetEditorFactsSource(ShownWindowFacts);

    window.show();
  }
  void TearDown() override {
    app->SetExceptionReporter(nullptr);
    crash::SetEditorFactsSource(nullptr);
    unsetenv("XDG_STATE_HOME");
  }
  // Fails the way a handler of the running program would: through an event.
  void FailInAHandler() {
    QCoreApplication::postEvent(&failing, new QEvent(FailingHandler::FailEvent()));
    QCoreApplication::processEvents();
  }

  QTemporaryDir home;
  QString reportPath;
  testing::FakeDialogService dialogs;
  TMainWindow window{dialogs};
  FailingHandler failing;
  FakeCrashBox box;
  FakeLauncher launcher;
  std::vector<Ending> endings;
  KestrinApplication* app = nullptr;
  std::unique_ptr<ExceptionReporter> reporter;
};

TEST_F(ExceptionPathTest, ReportNamesTheExceptionWhereItWasThrownAndTheSystem) {
  box.Script({Press::Continue});
  FailInAHandler();
  const QString report = ReadAll(reportPath);
  ASSERT_FALSE(report.isEmpty());
  EXPECT_TRUE(report.startsWith(QStringLiteral("Kestrin Music Editor crash report\n")));
  for (const char* expected :
       {"== Time ==", "== Program ==", "Kestrin Music Editor 0.0.1.0", "Command line: ", "Process id: ",
        "== Failure ==\nException: std::runtime_error\n", "Message: the disk went away\n",
        "Where: caught by the event loop",
        "== Stack trace (where it was thrown) ==", "SaveTheWorldHandler()", "== Threads ==",
        "== Modules ==", "libQt6Core.so", " (build-id ", "== System ==", "Kernel: Linux ",
        "Distribution: ", "Memory MemTotal: ", "Qt: 6.", "Platform plugin: offscreen",
        "Locale: ", "== Editor state ==", "File opened: none", "== Screenshot =="}) {
    EXPECT_TRUE(report.contains(QString::fromLatin1(expected))) << expected;
  }
  EXPECT_TRUE(report.contains(QStringLiteral("Process id: %1\n").arg(QCoreApplication::applicationPid())));
  EXPECT_TRUE(report.contains(QRegularExpression(QStringLiteral("\nScreens:( \\d+x\\d+ at \\d+ dpi;)+\n"))));
  // The names of the user's other programs are none of a bug's business.
  EXPECT_FALSE(report.contains(QStringLiteral("== Processes ==")));
  // The throwing function is the first frame of the trace.
  const qsizetype trace = report.indexOf(QStringLiteral("== Stack trace (where it was thrown) ==\n#0 "));
  ASSERT_GE(trace, 0);
  EXPECT_LT(report.indexOf(QStringLiteral("SaveTheWorldHandler()"), trace), report.indexOf(QStringLiteral("\n#1 "), trace));
}

TEST_F(ExceptionPathTest, BoxShowsTheMessageAndTheReportAndContinueKeepsTheWindowWorking) {
  box.Script({Press::ShowReport, Press::Continue});
  FailInAHandler();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].message, QStringLiteral("The program met an error it did not expect: the disk went away"));
  EXPECT_EQ(box.shown[0].reportNote, QStringLiteral("The report was saved to %1.").arg(reportPath));
  EXPECT_TRUE(box.shown[0].canContinue);
  EXPECT_EQ(box.shown[0].lossNote,
            QStringLiteral("Your edits are still there: choose Continue, and File > Save still works."));
  EXPECT_EQ(box.shown[0].reportText, ReadAll(reportPath));
  EXPECT_TRUE(endings.empty());

  window.findChild<QAction*>(QStringLiteral("Save1"))->trigger();
  EXPECT_EQ(window.findChild<StatusLine*>(QStringLiteral("StatusBar"))->Text(),
            QStringLiteral("You should open a file before saving!"));
  EXPECT_TRUE(window.isVisible());
}

TEST_F(ExceptionPathTest, EachFailureAppendsExactlyOneReport) {
  box.Script({Press::Continue});
  box.Script({Press::Continue});
  FailInAHandler();
  const QString first = ReadAll(reportPath);
  FailInAHandler();
  const QString both = ReadAll(reportPath);
  EXPECT_EQ(both.count(QStringLiteral("Kestrin Music Editor crash report\n")), 2);
  EXPECT_TRUE(both.startsWith(first));
  EXPECT_TRUE(both.mid(first.size()).startsWith(QStringLiteral(
      "------------------------------------------------------------------------\n"
      "Kestrin Music Editor crash report\n")));
  EXPECT_EQ(box.shown.size(), 2u);
}

TEST_F(ExceptionPathTest, ScreenshotOfTheWindowLiesBesideTheReport) {
  // Ten older screenshots: the folder keeps the ten newest.
  const QString folder = QFileInfo(reportPath).absolutePath();
  ASSERT_TRUE(QDir().mkpath(folder));
  for (int n = 10; n < 20; ++n) {
    QFile(folder + QStringLiteral("/bugreport-20260101-0000%1-000.png").arg(n)).open(QIODevice::WriteOnly);
  }
  box.Script({Press::Continue});
  FailInAHandler();
  EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/bugreport-20260101-000010-000.png")));
  EXPECT_EQ(QDir(folder).entryList({QStringLiteral("bugreport-*.png")}, QDir::Files).size(), 10);
  const QString report = ReadAll(reportPath);
  const qsizetype at = report.indexOf(QStringLiteral("== Screenshot ==\n"));
  ASSERT_GE(at, 0);
  const QString shot = report.mid(at + 17).section(QLatin1Char('\n'), 0, 0);
  EXPECT_EQ(QFileInfo(shot).absolutePath(), QFileInfo(reportPath).absolutePath());
  const QImage image(shot);
  ASSERT_FALSE(image.isNull()) << shot.toStdString();
  EXPECT_EQ(image.size(), window.grab().size());
}

TEST_F(ExceptionPathTest, RestartStartsThisExecutableAgainAndEndsWithZero) {
  box.Script({Press::Restart});
  FailInAHandler();
  ASSERT_EQ(launcher.launches.size(), 1u);
  EXPECT_EQ(launcher.launches[0].program,
            QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()));
  EXPECT_TRUE(launcher.launches[0].arguments.isEmpty());
  EXPECT_EQ(endings, std::vector<Ending>{Ending::ExitZero});
}

TEST_F(ExceptionPathTest, SendAttachesThisReportAloneAndTheScreenshotAsTheBoxSaidBeforehand) {
  box.Script({Press::Continue});
  FailInAHandler();  // an older report in the file
  box.Script({Press::SendReport, Press::Continue});
  FailInAHandler();
  ASSERT_EQ(launcher.launches.size(), 1u);
  const testing::Launch& mail = launcher.launches[0];
  EXPECT_EQ(mail.program, QStringLiteral("xdg-email"));
  const QStringList& args = mail.arguments;
  const qsizetype body = args.indexOf(QStringLiteral("--body"));
  ASSERT_GE(body, 0);
  EXPECT_EQ(args[body + 1], box.shown[1].reportText);
  QStringList attached;
  for (qsizetype i = 0; i + 1 < args.size(); ++i)
    if (args[i] == QStringLiteral("--attach")) attached << args[i + 1];
  ASSERT_EQ(attached.size(), 2);
  // The newest report alone, not the file with the older one.
  EXPECT_EQ(attached[0], QFileInfo(reportPath).absolutePath() + QStringLiteral("/bugreport-newest.txt"));
  EXPECT_EQ(ReadAll(attached[0]), box.shown[1].reportText);
  EXPECT_EQ(ReadAll(reportPath).count(QStringLiteral("Kestrin Music Editor crash report\n")), 2);
  EXPECT_TRUE(attached[1].endsWith(QStringLiteral(".png")));
  EXPECT_TRUE(QFileInfo::exists(attached[1]));
  // The box named exactly these files before the mail program was started.
  EXPECT_EQ(box.shown[1].attachments,
            QStringLiteral("Send report opens a new mail in your mail program, with this report as its text and "
                           "these files attached: %1, %2.")
                .arg(attached[0], attached[1]));
  ASSERT_EQ(box.sendResults.size(), 1u);
  EXPECT_EQ(box.sendResults[0], QStringLiteral("The report was handed to your mail program."));
  EXPECT_TRUE(endings.empty());
}

TEST_F(ExceptionPathTest, ReportsAndScreenshotsAreTheUsersAlone) {
  box.Script({Press::SendReport, Press::Continue});
  FailInAHandler();
  const QString folder = QFileInfo(reportPath).absolutePath();
  EXPECT_EQ(QFileInfo(folder).permissions() & 0x7777, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                                           QFileDevice::WriteUser | QFileDevice::ExeUser);
  const QStringList files = QDir(folder).entryList(QDir::Files);
  EXPECT_EQ(files.size(), 3) << files.join(QLatin1Char(' ')).toStdString();  // report, screenshot, newest report
  for (const QString& file : files) {
    EXPECT_EQ(QFileInfo(folder + QLatin1Char('/') + file).permissions() & 0x7777,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser)
        << file.toStdString();
  }
}

// A window whose every paint fails: the screenshot paints it, and so does the
// box's event loop while it is open.
class AlwaysFailingPaint final : public QWidget {
 public:
  bool failing = true;
  int failures = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!failing) return;
    ++failures;
    throw std::runtime_error("paint gave up");
  }
};

TEST_F(ExceptionPathTest, FailuresWhileAReportIsOpenAreOneLineEachInThatReport) {
  AlwaysFailingPaint broken;
  broken.resize(64, 48);
  reporter->SetWindowSource([&broken]() -> QWidget* { return &broken; });
  box.whileShown = [&broken] {
    for (int i = 0; i < 24; ++i) broken.grab();
  };
  box.Script({Press::Continue});
  broken.grab();  // the first failure, through the application object
  broken.failing = false;

  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_TRUE(box.shown[0].message.contains(QStringLiteral("paint gave up")));
  const QString report = ReadAll(reportPath);
  EXPECT_EQ(report.count(QStringLiteral("Kestrin Music Editor crash report\n")), 1);
  EXPECT_TRUE(report.contains(QStringLiteral("Message: paint gave up\n")));
  // The screenshot's paint and the 24 while the box was open: the first
  // twenty are listed, so that a paint failing on every frame cannot flood
  // the report.
  EXPECT_EQ(broken.failures, 26);
  const QString line = QStringLiteral("std::runtime_error: paint gave up\n");
  EXPECT_TRUE(report.endsWith(QStringLiteral("\n== Failures while this report was open ==\n") + line.repeated(20) +
                              QStringLiteral("(more are not listed)\n")))
      << report.toStdString();
  EXPECT_EQ(report.count(line), 20);
  // The box's own text has the failures the report held when it opened.
  EXPECT_TRUE(box.shown[0].reportText.contains(QStringLiteral("== Failures while this report was open ==")));

  // The next report, its screenshot taken without a failure, holds none of them.
  box.Script({Press::Continue});
  FailInAHandler();
  ASSERT_EQ(box.shown.size(), 2u);
  const QString next = box.shown[1].reportText;
  EXPECT_FALSE(next.contains(QStringLiteral("paint gave up"))) << next.toStdString();
}

TEST_F(ExceptionPathTest, RestartThatCannotStartSaysSoAndTheBoxStays) {
  launcher.starts = false;  // the executable was replaced by an upgrade
  box.Script({Press::Restart});
  box.Script({Press::Close});
  FailInAHandler();
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_TRUE(box.shown[0].restartNote.isEmpty());
  const QString executable = QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(box.shown[1].restartNote,
            QStringLiteral("Restart failed: %1 could not be started. Start the editor again from your desktop's menu.")
                .arg(executable));
  EXPECT_EQ(endings, std::vector<Ending>{Ending::ExitZero});
}

TEST_F(ExceptionPathTest, SendWithoutAMailProgramSaysSoAndTheBoxStaysOpen) {
  const QString noMail = QStringLiteral(
      "No mail program could be started: none is set up for mailto links, or xdg-utils is missing.");
  // None set up for mailto links: xdg-email is not even started.
  launcher.queryAnswer = QStringLiteral("\n");
  box.Script({Press::SendReport, Press::Continue});
  FailInAHandler();
  ASSERT_EQ(launcher.queries.size(), 1u);
  EXPECT_EQ(launcher.queries[0].program, QStringLiteral("xdg-mime"));
  EXPECT_EQ(launcher.queries[0].arguments,
            QStringList({QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")}));
  EXPECT_TRUE(launcher.launches.empty());
  // One set up, but xdg-email cannot be started.
  launcher.queryAnswer = QStringLiteral("mail-reader.desktop\n");
  launcher.starts = false;
  box.Script({Press::SendReport, Press::Continue});
  FailInAHandler();
  ASSERT_EQ(box.sendResults.size(), 2u);
  EXPECT_EQ(box.sendResults[0].toStdString(), noMail.toStdString());
  EXPECT_EQ(box.sendResults[1].toStdString(), noMail.toStdString());
  EXPECT_EQ(box.shown.size(), 2u);
  EXPECT_TRUE(endings.empty());  // each box went on to "Continue"
}

TEST_F(ExceptionPathTest, UnwritableStateFolderStillShowsTheBoxSayingTheReportWasNotSaved) {
  // A file where the folder should be: not even root can create it.
  const QString blocker = home.path() + QStringLiteral("/blocked");
  QFile file(blocker);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  setenv("XDG_STATE_HOME", blocker.toLocal8Bit().constData(), 1);
  ExceptionReporter blocked(box, launcher);
  blocked.SetEnding([this](Ending ending) { endings.push_back(ending); });
  app->SetExceptionReporter(&blocked);
  box.Script({Press::Continue});
  FailInAHandler();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_TRUE(box.shown[0].reportNote.startsWith(QStringLiteral("The report could not be saved: ")))
      << box.shown[0].reportNote.toStdString();
  EXPECT_TRUE(box.shown[0].message.contains(QStringLiteral("the disk went away")));
}

TEST_F(ExceptionPathTest, EditorStateGivesTheFileTheSongAndThePartAsNumbers) {
  EditingState& state = window.State();
  state.currentFileName = "/music/demo.nes";
  state.fileLoaded = true;
  state.songSet = SongSet::Two;
  state.songPartList = {3, 4};
  state.firstPart = 3;
  state.lastPart = 4;
  state.loopPart = 3;
  state.partLoaded = true;
  state.headerPosition = 0x39461;
  state.streamLength[0] = 120;
  box.Script({Press::Continue});
  FailInAHandler();
  EXPECT_TRUE(ReadAll(reportPath).contains(QStringLiteral(
      "== Editor state ==\nFile opened: /music/demo.nes\nSong set: 2\nFirst, last and loop part: 3, 4, 3\n"
      "Part loaded: header at 0x39461, Square 1 stream of 120 bytes\n")));
}

TEST_F(ExceptionPathTest, CloseEndsTheProgramWithExitCodeZero) {
  EXPECT_EXIT(
      {
        ExceptionReporter real(box, launcher);  // the real ending
        app->SetExceptionReporter(&real);
        box.Script({Press::Close});
        FailInAHandler();
        std::exit(3);  // not reached when Close ends the process
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(ExceptionPathTest, FailureWhileStartingOffersNoContinue) {
  box.Script({Press::Continue});  // a disabled button: treated as Close
  app->ShowException(std::make_exception_ptr(std::logic_error("no window")), FailureOrigin::StartUp);
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_FALSE(box.shown[0].canContinue);
  EXPECT_TRUE(box.shown[0].lossNote.isEmpty());  // nothing was open yet
  EXPECT_EQ(endings, std::vector<Ending>{Ending::ExitZero});
  EXPECT_TRUE(ReadAll(reportPath).contains(QStringLiteral("Where: caught while starting")));
}

TEST_F(ExceptionPathTest, EachWayOfFailingSaysWhereItWasCaughtAndWhatBecameOfTheEdits) {
  const QString kept = QStringLiteral("Your edits are still there: choose Continue, and File > Save still works.");
  const QString lost = QStringLiteral("Unsaved edits are lost: the program cannot go on after this.");
  struct Case {
    FailureOrigin origin;
    const char* where;
    bool canContinue;
    QString lossNote;
    Ending ending;  // after "Close"
  };
  const Case cases[] = {
      {FailureOrigin::EventLoop, "Where: caught by the event loop\n", true, kept, Ending::ExitZero},
      {FailureOrigin::Handler, "Where: caught at the handler it escaped from\n", true, kept, Ending::ExitZero},
      {FailureOrigin::StartUp, "Where: caught while starting\n", false, QString(), Ending::ExitZero},
      {FailureOrigin::Terminate, "Where: std::terminate was called\n", false, lost, Ending::AbortWithDefault},
  };
  // A type of its own: an earlier test's throw of the same type would
  // otherwise lend this exception its trace.
  struct NeverThrown : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    box.shown.clear();
    endings.clear();
    box.Script({Press::Close});
    app->ShowException(std::make_exception_ptr(NeverThrown("no luck")), c.origin);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(box.shown[0].reportText.contains(QString::fromLatin1(c.where)));
    // Made, never thrown: the trace is the one taken where it was reported.
    EXPECT_TRUE(box.shown[0].reportText.contains(QStringLiteral("== Stack trace (where it was reported) ==\n#0 ")));
    EXPECT_EQ(box.shown[0].canContinue, c.canContinue);
    EXPECT_EQ(box.shown[0].lossNote, c.lossNote);
    EXPECT_EQ(endings, std::vector<Ending>{c.ending});
  }
}

// The reporter's box after a fatal signal: the signal in words, edits lost,
// no way to go on.
TEST(CrashSession, AfterAFatalSignalTheBoxNamesItAndOffersNoContinue) {
  const std::pair<int, const char*> signals[] = {
      {SIGSEGV, "The program crashed on a memory access error (SIGSEGV)."},
      {SIGBUS, "The program crashed on an access to memory that is not there (SIGBUS)."},
      {SIGFPE, "The program crashed on an arithmetic error, such as a division by zero (SIGFPE)."},
      {SIGILL, "The program crashed on an instruction the processor does not know (SIGILL)."},
      {SIGABRT, "The program crashed on an internal check that failed (SIGABRT)."},
      {31, "The program crashed on signal 31."},
  };
  for (const auto& [signal, message] : signals) {
    SCOPED_TRACE(message);
    FakeLauncher launcher;
    FakeCrashBox box;
    CrashSession session(launcher, SavedReport{}, QStringLiteral("/usr/bin/kestrin-music-editor"));
    EXPECT_EQ(session.RunAfterSignal(box, signal), CrashChoice::Close);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].message, QString::fromLatin1(message));
    EXPECT_EQ(box.shown[0].lossNote,
              QStringLiteral("Unsaved edits are lost: the program cannot go on after this."));
    EXPECT_FALSE(box.shown[0].canContinue);
  }
}

// "Send report" attaches this report's own file only when it could write
// it: an older file under that name must not go out in its place.
TEST(CrashSession, SendAttachesTheReportFileOnlyWhenItWasWritten) {
  QTemporaryDir folder;
  QFile(folder.filePath(QStringLiteral("not-a-folder"))).open(QIODevice::WriteOnly);
  for (const QString& name : {QStringLiteral("bugreport-newest.txt"), QStringLiteral("not-a-folder/bugreport-newest.txt")}) {
    SCOPED_TRACE(name.toStdString());
    FakeLauncher launcher;
    SavedReport report;
    report.saved = true;
    report.text = QStringLiteral("this report\n");
    report.newestReportPath = folder.filePath(name);
    CrashSession session(launcher, report, QString());
    EXPECT_EQ(session.SendReport(), QStringLiteral("The report was handed to your mail program."));
    ASSERT_EQ(launcher.launches.size(), 1u);
    const bool written = !name.contains(u'/');
    EXPECT_EQ(launcher.launches[0].arguments.contains(QStringLiteral("--attach")), written);
    EXPECT_EQ(QFile::exists(report.newestReportPath), written);
  }
}

// The mail "Send report" starts: subject, the report as its text (cut past
// 64 KiB, the attached file carrying it whole), the files; no recipient.
TEST(CrashSession, MailArgumentsGiveSubjectBodyAndTheAttachedFiles) {
  const QString full(64 * 1024, u'r');
  struct Case {
    QString text, newest, screenshot, body;
    const char* attaches;  // what the box says it sends
  };
  const Case cases[] = {
      {QStringLiteral("short\n"), {}, {}, QStringLiteral("short\n"),
       "Send report opens a new mail in your mail program, with this report as its text."},
      {full, QStringLiteral("/s/new.txt"), {}, full,
       "Send report opens a new mail in your mail program, with this report as its text and these files "
       "attached: /s/new.txt."},
      {full + u'x', QStringLiteral("/s/new.txt"), QStringLiteral("/s/shot.png"),
       full + QStringLiteral("\n[cut: the whole report is attached]\n"),
       "Send report opens a new mail in your mail program, with this report as its text and these files "
       "attached: /s/new.txt, /s/shot.png."},
  };
  for (const Case& c : cases) {
    SavedReport report;
    report.text = c.text;
    report.newestReportPath = c.newest;
    report.screenshotPath = c.screenshot;
    QStringList expected{QStringLiteral("--utf8"), QStringLiteral("--subject"),
                         QStringLiteral("Kestrin Music Editor crash report"), QStringLiteral("--body"), c.body};
    for (const QString& file : {c.newest, c.screenshot})
      if (!file.isEmpty()) expected << QStringLiteral("--attach") << file;
    EXPECT_EQ(MailArguments(report), expected) << c.attaches;

    FakeLauncher launcher;
    FakeCrashBox box;
    CrashSession(launcher, report, QString()).Run(box, QString(), QString(), true);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].attachments, QString::fromLatin1(c.attaches));
  }
}

TEST_F(ExceptionPathTest, TerminateShowsTheBoxWithoutContinueAndAbortsOnClose) {
  EXPECT_EXIT(
      {
        // As in the editor, the fatal-signal handler is there too: the
        // abort after the box is not reported again.
        crash::FatalSignalSetup setup;
        setup.reportPath = reportPath.toStdString();
        setup.reporterPath = "/nonexistent/kestrin-crash-report";
        crash::InstallFatalSignalHandler(setup);
        ExceptionReporter real(box, launcher);
        InstallTerminateHandler(&real);
        box.Script({Press::Close});
        std::terminate();
      },
      ::testing::KilledBySignal(SIGABRT), "");
  const QString report = ReadAll(reportPath);
  EXPECT_TRUE(report.contains(QStringLiteral("Where: std::terminate was called")));
  EXPECT_TRUE(report.contains(QStringLiteral("\nNo exception is in flight\n")));  // called outright
  EXPECT_EQ(report.count(QStringLiteral("Kestrin Music Editor crash report\n")), 1);
}

}  // namespace
}  // namespace kestrin
