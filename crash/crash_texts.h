#pragma once
// Every text of the crash box and the report view. Code and tests read them
// from here; the box's title is the program's name (shell_texts.h).

#include <QString>
#include <csignal>

namespace kestrin::crash_texts {

inline const QString kSendReport = QStringLiteral("Send report");
inline const QString kShowReport = QStringLiteral("Show report");
inline const QString kContinue = QStringLiteral("Continue");
inline const QString kRestart = QStringLiteral("Restart");
inline const QString kClose = QStringLiteral("Close");
inline const QString kCopy = QStringLiteral("Copy");

// %1: the report file.
inline const QString kReportSaved = QStringLiteral("The report was saved to %1.");
// %1: why.
inline const QString kReportNotSaved = QStringLiteral("The report could not be saved: %1.");
inline const QString kNoMailProgram =
    QStringLiteral("No mail program could be started: none is set up for mailto links, or xdg-utils is missing.");
inline const QString kMailHandedOver = QStringLiteral("The report was handed to your mail program.");
inline const QString kMailSubject = QStringLiteral("Kestrin Music Editor crash report");
inline const QString kReportViewTitle = QStringLiteral("Crash report");
// %1: the exception's message (may be empty).
inline const QString kExceptionMessage = QStringLiteral("The program met an error it did not expect: %1");
// %1: the signal in words (SignalInWords).
inline const QString kSignalMessage = QStringLiteral("The program crashed on %1.");

// What was lost.
inline const QString kEditsKept =
    QStringLiteral("Your edits are still there: choose Continue, and File > Save still works.");
inline const QString kEditsLost = QStringLiteral("Unsaved edits are lost: the program cannot go on after this.");

// What "Send report" attaches, shown before it is pressed. %1: the files,
// this report alone and the screenshot, separated by ", ".
inline const QString kAttaches = QStringLiteral(
    "Send report opens a new mail in your mail program, with this report as its text and these files attached: %1.");
inline const QString kAttachesNothing =
    QStringLiteral("Send report opens a new mail in your mail program, with this report as its text.");

// %1: the program that could not be started.
inline const QString kRestartFailed =
    QStringLiteral("Restart failed: %1 could not be started. Start the editor again from your desktop's menu.");

inline const QString kMailProgram = QStringLiteral("xdg-email");
inline const QString kMailQueryProgram = QStringLiteral("xdg-mime");

// A fatal signal in words, with its name: "a memory access error (SIGSEGV)".
inline QString SignalInWords(int signal) {
  switch (signal) {
    case SIGSEGV: return QStringLiteral("a memory access error (SIGSEGV)");
    case SIGBUS: return QStringLiteral("an access to memory that is not there (SIGBUS)");
    case SIGFPE: return QStringLiteral("an arithmetic error, such as a division by zero (SIGFPE)");
    case SIGILL: return QStringLiteral("an instruction the processor does not know (SIGILL)");
    case SIGABRT: return QStringLiteral("an internal check that failed (SIGABRT)");
    default: return QStringLiteral("signal %1").arg(signal);
  }
}

}  // namespace kestrin::crash_texts
