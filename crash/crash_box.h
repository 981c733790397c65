#pragma once
// The exception box goes through this interface: the program shows the real
// Qt box (QtCrashBox), tests a scripted fake, so no test waits on a button.

#include <QString>

namespace kestrin {

enum class CrashChoice { Continue, Restart, Close };

struct CrashBoxContent {
  QString message;      // what failed
  QString lossNote;     // what became of the user's edits; may be empty
  QString reportNote;   // where the report went, or why it could not be saved
  QString attachments;  // what "Send report" will attach
  QString restartNote;  // why the last "Restart" failed; empty when none did
  QString reportText;   // the whole report, for "Show report"
  bool canContinue = false;
};

// What the box's buttons that keep it open do.
class CrashBoxActions {
 public:
  virtual ~CrashBoxActions() = default;
  // "Send report": the text to show in the box afterwards.
  virtual QString SendReport() = 0;
};

class CrashBox {
 public:
  virtual ~CrashBox() = default;
  // Shows the box until "Continue", "Restart" or "Close" is chosen.
  virtual CrashChoice Show(const CrashBoxContent& content, CrashBoxActions& actions) = 0;
};

}  // namespace kestrin
