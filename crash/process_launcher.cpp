#include "process_launcher.h"

#include <QProcess>

namespace kestrin {

bool QtProcessLauncher::StartDetached(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

}  // namespace kestrin
