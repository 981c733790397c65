#pragma once
// Every text of the crash box and the report view. Code and tests read them
// from here; the box's title is the program's name (shell_texts.h).

#include <QString>

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
// %1: the signal's name and code ("SIGSEGV (SEGV_MAPERR)").
inline const QString kSignalMessage = QStringLiteral("The program crashed on signal %1.");
inline const QString kMailProgram = QStringLiteral("xdg-email");
inline const QString kMailQueryProgram = QStringLiteral("xdg-mime");

}  // namespace kestrin::crash_texts
