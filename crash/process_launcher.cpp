#include "process_launcher.h"

#include <QProcess>

namespace kestrin {

bool QtProcessLauncher::StartDetached(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

QString QtProcessLauncher::Output(const QString& program, const QStringList& arguments) {
  constexpr int kMaxWaitMs = 5000;
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(kMaxWaitMs) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return {};
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

}  // namespace kestrin
