#pragma once
// One shown crash box and the work of its buttons, the same in the editor
// (exceptions) and in the reporter program (fatal signals).

#include <QString>
#include <QStringList>

#include "crash_box.h"
#include "process_launcher.h"

namespace kestrin {

struct SavedReport {
  bool saved = false;
  QString path;            // the report file
  QString error;           // why it was not saved
  QString screenshotPath;  // empty: no screenshot
  QString text;            // this report
  // The file "Send report" writes this report alone into and attaches (the
  // report file holds older reports too); empty: nothing is attached.
  QString newestReportPath;
};

// For a report saved to `reportPath`: the file beside it that "Send report"
// attaches.
QString NewestReportPathBeside(const QString& reportPath);

// The files "Send report" attaches: this report alone, and the screenshot.
QStringList Attachments(const SavedReport& report);

// The xdg-email arguments for "Send report": subject, the report as the body
// (cut when very long: the file is attached whole), the Attachments. No
// recipient: the user's mail program asks.
QStringList MailArguments(const SavedReport& report);

// The xdg-mime arguments that ask for the desktop's mail program.
QStringList MailHandlerQuery();

class CrashSession final : public CrashBoxActions {
 public:
  CrashSession(ProcessLauncher& launcher, SavedReport report, QString restartExecutable);

  QString SendReport() override;
  // Shows the box; for "Restart" starts the new instance before returning.
  // When it cannot be started, the box comes back saying so.
  CrashChoice Run(CrashBox& box, const QString& message, const QString& lossNote, bool canContinue);
  // The box after fatal signal `signal`: the process is gone, so nothing can
  // go on and unsaved edits are lost.
  CrashChoice RunAfterSignal(CrashBox& box, int signal);

 private:
  ProcessLauncher& launcher_;
  SavedReport report_;
  QString restartExecutable_;
};

}  // namespace kestrin
