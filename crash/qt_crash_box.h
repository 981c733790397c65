#pragma once
// The real crash box: the failure's message, what became of the user's
// edits, where the report went, what "Send report" attaches, and the buttons
// "Send report", "Show report", "Continue", "Restart" and "Close". "Send
// report" and "Show report" keep it open.

#include "crash_box.h"

class QWidget;

namespace kestrin {

class QtCrashBox final : public CrashBox {
 public:
  CrashChoice Show(const CrashBoxContent& content, CrashBoxActions& actions) override;
};

// The whole report, read-only, scrollable and selectable, with "Copy".
void ShowReportView(const QString& reportText, QWidget* parent);

}  // namespace kestrin
