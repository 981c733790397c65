// kestrin-crash-report REPORT PID SIGNAL EXECUTABLE
//
// Started by the editor's fatal-signal handler, which waits for it: names the
// raw frames the handler wrote, appends the sections that need more than a
// crashed process can safely do (named stack trace, threads, processes,
// system data) and shows the crash box with "Continue" disabled.
#include <QApplication>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "crash_session.h"
#include "crash_texts.h"
#include "fatal_signal_handler.h"
#include "frame_names.h"
#include "qt_crash_box.h"
#include "qt_system_facts.h"
#include "report_sections.h"
#include "shell_texts.h"
#include "signal_report.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(kestrin::shell_texts::kProgramName);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s REPORT [PID SIGNAL EXECUTABLE]\n", argv[0]);
    return 2;
  }
  const std::string reportPath = argv[1];
  const long pid = argc > 2 ? std::atol(argv[2]) : 0;
  const QString executable = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();

  const kestrin::crash::CompletedReport completed = kestrin::crash::CompleteSignalReport(
      reportPath, pid, [pid](const kestrin::crash::SignalReport& crash) {
        std::string more = "== Stack trace ==\n";
        more += kestrin::crash::NamedFrames(crash.frames, kestrin::crash::ParseMappings(crash.modules));
        if (pid > 0) more += kestrin::crash::ThreadsSection(pid, crash.thread);
        more += kestrin::crash::ProcessesSection();
        more += kestrin::crash::SystemSection(kestrin::QtSystemLines());
        return more;
      });
  std::ifstream in(reportPath, std::ios::binary);
  const std::string fileText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const kestrin::crash::SignalReport crash = kestrin::crash::ReadLastReport(fileText);

  kestrin::SavedReport report;
  report.path = QString::fromStdString(reportPath);
  report.saved = completed.saved;
  report.error = QString::fromStdString(completed.error);
  report.text = QString::fromStdString(completed.text);
  // Without the report, the signal's number from the command line.
  const char* signalName = kestrin::crash::FatalSignalName(argc > 3 ? std::atoi(argv[3]) : 0);
  const QString signal = completed.saved ? QString::fromStdString(crash.signal)
                                         : QString::fromLatin1(signalName != nullptr ? signalName : "unknown");

  kestrin::QtCrashBox box;
  kestrin::QtProcessLauncher launcher;
  kestrin::CrashSession session(launcher, report, executable);
  session.Run(box, kestrin::crash_texts::kSignalMessage.arg(signal), false);
  return 0;
}
