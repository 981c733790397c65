// kestrin-crash-report REPORT PID SIGNAL EXECUTABLE
//
// Started by the editor's fatal-signal handler, which waits for it. When its
// standard input is a pipe, it first reads it to its end: the handler writes
// "done" there once its part of the report is written, and the pipe closes
// without it when the crashed program failed again on the way. Then, before
// it creates any window, it completes the report: the raw frames named, the
// threads and the system. Only then does it start Qt and show the crash box
// with "Continue" disabled; without a display it ends there, the report
// complete.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "crash_session.h"
#include "fatal_signal_handler.h"
#include "frame_names.h"
#include "qt_crash_box.h"
#include "qt_system_facts.h"
#include "report_file.h"
#include "report_sections.h"
#include "shell_texts.h"
#include "signal_report.h"

namespace {

// The handler's part is written within moments; a handler stuck in a broken
// stack must not keep the box away for longer than this.
constexpr int kWaitForHandlerMs = 10000;

// Reads standard input to its end when it is a pipe; true when the handler
// said "done" (or when there is no pipe to wait on).
bool HandlerFinished() {
  struct stat input {};
  if (fstat(STDIN_FILENO, &input) != 0 || !S_ISFIFO(input.st_mode)) return true;
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitForHandlerMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd wait{STDIN_FILENO, POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[64];
    const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) break;
    said.append(chunk, static_cast<std::size_t>(got));
  }
  return said == kestrin::crash::kHandlerDone;
}

// Qt cannot start (no display): the report is complete; end quietly
// instead of aborting.
void EndOnFatalQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "kestrin-crash-report: the crash box cannot be shown; the report is complete.\n");
    std::_Exit(3);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s REPORT PID SIGNAL EXECUTABLE\n", argv[0]);
    return 2;
  }
  const std::string reportPath = argv[1];
  const long pid = std::atol(argv[2]);
  const int signalNumber = std::atoi(argv[3]);
  const QString executable = QString::fromLocal8Bit(argv[4]);

  const bool finished = HandlerFinished();
  const std::vector<std::string> debugFolders = kestrin::crash::DebugFoldersOfThisProgram();
  const kestrin::crash::CompletedReport completed = kestrin::crash::CompleteSignalReport(
      reportPath, pid, finished, [pid, &debugFolders](const kestrin::crash::SignalReport& crash) {
        std::string more = "== Stack trace ==\n";
        more += kestrin::crash::NamedFrames(crash.frames, kestrin::crash::ParseMappings(crash.modules), debugFolders);
        if (pid > 0) more += kestrin::crash::ThreadsSection(pid, crash.thread);
        more += kestrin::crash::SystemSection({std::string("Qt: ") + qVersion() + " (built with " + QT_VERSION_STR + ")"});
        return more;
      });

  qInstallMessageHandler(EndOnFatalQtMessage);
  QApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  QApplication::setApplicationName(kestrin::shell_texts::kProgramName);
  // What only a running Qt knows ends the system section, the report's last.
  std::string qtLines;
  for (const std::string& line : kestrin::QtSystemLines())
    if (line.rfind("Qt: ", 0) != 0) qtLines += line + '\n';
  if (completed.saved) kestrin::crash::AppendToLastReport(reportPath, qtLines);

  kestrin::SavedReport report;
  report.path = QString::fromStdString(reportPath);
  report.saved = completed.saved;
  report.error = QString::fromStdString(completed.error);
  report.text = QString::fromStdString(completed.text + (completed.saved ? qtLines : std::string()));
  if (report.saved) report.newestReportPath = kestrin::NewestReportPathBeside(report.path);

  kestrin::QtCrashBox box;
  kestrin::QtProcessLauncher launcher;
  kestrin::CrashSession session(launcher, report, executable);
  session.RunAfterSignal(box, signalNumber);
  return 0;
}
