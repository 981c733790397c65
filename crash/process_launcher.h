#pragma once
// Starting other programs (a new instance for "Restart", the mail hand-off
// for "Send report") goes through this interface; tests record instead.

#include <QString>
#include <QStringList>

namespace kestrin {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts `program` detached from this process; false when it cannot start.
  virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
  // Runs `program` to its end (a few seconds at most) and returns what it
  // printed; empty when it cannot run or fails.
  virtual QString Output(const QString& program, const QStringList& arguments) = 0;
};

class QtProcessLauncher final : public ProcessLauncher {
 public:
  bool StartDetached(const QString& program, const QStringList& arguments) override;
  QString Output(const QString& program, const QStringList& arguments) override;
};

}  // namespace kestrin
