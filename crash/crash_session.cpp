#include "crash_session.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

#include "crash_texts.h"
#include "report_file.h"

namespace kestrin {

namespace {
// A command line argument may not exceed 128 KiB on Linux; the body stays
// well below, the attached file carries everything.
constexpr qsizetype kMaxBodyLength = 64 * 1024;
}  // namespace

QString NewestReportPathBeside(const QString& reportPath) {
  return QFileInfo(reportPath).absoluteDir().filePath(QString::fromLatin1(crash::kNewestReportFileName));
}

QStringList Attachments(const SavedReport& report) {
  QStringList files;
  if (!report.newestReportPath.isEmpty()) files << report.newestReportPath;
  if (!report.screenshotPath.isEmpty()) files << report.screenshotPath;
  return files;
}

QStringList MailArguments(const SavedReport& report) {
  QString body = report.text;
  if (body.size() > kMaxBodyLength) body = body.left(kMaxBodyLength) + QStringLiteral("\n[cut: the whole report is attached]\n");
  QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), crash_texts::kMailSubject,
                        QStringLiteral("--body"), body};
  for (const QString& file : Attachments(report)) arguments << QStringLiteral("--attach") << file;
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
  SavedReport sent = report_;
  // This report alone, in a file of its own; without it the mail still
  // carries the report as its text.
  if (!sent.newestReportPath.isEmpty() &&
      !crash::WritePrivateFile(sent.newestReportPath.toStdString(), sent.text.toStdString()).saved)
    sent.newestReportPath.clear();
  if (!launcher_.StartDetached(crash_texts::kMailProgram, MailArguments(sent))) return crash_texts::kNoMailProgram;
  return crash_texts::kMailHandedOver;
}

CrashChoice CrashSession::Run(CrashBox& box, const QString& message, const QString& lossNote, bool canContinue) {
  CrashBoxContent content;
  content.message = message;
  content.lossNote = lossNote;
  content.reportNote = report_.saved ? crash_texts::kReportSaved.arg(report_.path)
                                     : crash_texts::kReportNotSaved.arg(report_.error);
  const QStringList attached = Attachments(report_);
  content.attachments = attached.isEmpty() ? crash_texts::kAttachesNothing
                                           : crash_texts::kAttaches.arg(attached.join(QStringLiteral(", ")));
  content.reportText = report_.text;
  content.canContinue = canContinue;
  for (;;) {
    CrashChoice choice = box.Show(content, *this);
    if (choice == CrashChoice::Continue && !canContinue) choice = CrashChoice::Close;
    if (choice != CrashChoice::Restart || launcher_.StartDetached(restartExecutable_, {})) return choice;
    content.restartNote = crash_texts::kRestartFailed.arg(restartExecutable_);
  }
}

CrashChoice CrashSession::RunAfterSignal(CrashBox& box, int signal) {
  return Run(box, crash_texts::kSignalMessage.arg(crash_texts::SignalInWords(signal)), crash_texts::kEditsLost,
             false);
}

}  // namespace kestrin
