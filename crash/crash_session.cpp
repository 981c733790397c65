#include "crash_session.h"

#include <utility>

#include "crash_texts.h"

namespace kestrin {

namespace {
// A command line argument may not exceed 128 KiB on Linux; the body stays
// well below, the attached file carries everything.
constexpr qsizetype kMaxBodyLength = 64 * 1024;
}  // namespace

QStringList MailArguments(const SavedReport& report) {
  QString body = report.text;
  if (body.size() > kMaxBodyLength) body = body.left(kMaxBodyLength) + QStringLiteral("\n[cut: the whole report is attached]\n");
  QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), crash_texts::kMailSubject,
                        QStringLiteral("--body"), body};
  if (report.saved) arguments << QStringLiteral("--attach") << report.path;
  if (!report.screenshotPath.isEmpty()) arguments << QStringLiteral("--attach") << report.screenshotPath;
  return arguments;
}

QStringList MailHandlerQuery() {
  return {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")};
}

CrashSession::CrashSession(ProcessLauncher& launcher, SavedReport report, QString restartExecutable)
    : launcher_(launcher), report_(std::move(report)), restartExecutable_(std::move(restartExecutable)) {}

QString CrashSession::SendReport() {
  // xdg-email hands over to the desktop's mail program and ends at once,
  // also when there is none: ask first whether one is set up.
  if (launcher_.Output(crash_texts::kMailQueryProgram, MailHandlerQuery()).trimmed().isEmpty())
    return crash_texts::kNoMailProgram;
  if (!launcher_.StartDetached(crash_texts::kMailProgram, MailArguments(report_))) return crash_texts::kNoMailProgram;
  return crash_texts::kMailHandedOver;
}

CrashChoice CrashSession::Run(CrashBox& box, const QString& message, bool canContinue) {
  CrashBoxContent content;
  content.message = message;
  content.reportNote = report_.saved ? crash_texts::kReportSaved.arg(report_.path)
                                     : crash_texts::kReportNotSaved.arg(report_.error);
  content.reportText = report_.text;
  content.canContinue = canContinue;
  CrashChoice choice = box.Show(content, *this);
  if (choice == CrashChoice::Continue && !canContinue) choice = CrashChoice::Close;
  if (choice == CrashChoice::Restart) launcher_.StartDetached(restartExecutable_, {});
  return choice;
}

}  // namespace kestrin
