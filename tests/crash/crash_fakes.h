#pragma once
// Scripted stand-ins for the crash box, the process launcher and the way the
// process ends: they record what they were given, so no test blocks on the
// box, starts a program or ends itself.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "crash_box.h"
#include "exception_reporter.h"
#include "process_launcher.h"

namespace kestrin::testing {

enum class Press { SendReport, ShowReport, Continue, Restart, Close };

class FakeCrashBox final : public CrashBox {
 public:
  // The buttons pressed in the next box, in order; the last must end it
  // (Continue, Restart or Close). Unscripted boxes are closed with Close.
  void Script(std::vector<Press> presses) { scripts_.push_back(std::move(presses)); }

  CrashChoice Show(const CrashBoxContent& content, CrashBoxActions& actions) override {
    shown.push_back(content);
    if (whileShown) whileShown();
    std::vector<Press> presses{Press::Close};
    if (!scripts_.empty()) {
      presses = scripts_.front();
      scripts_.pop_front();
    }
    for (const Press press : presses) {
      switch (press) {
        case Press::SendReport: sendResults.push_back(actions.SendReport()); break;
        case Press::ShowReport: break;
        case Press::Continue: return CrashChoice::Continue;
        case Press::Restart: return CrashChoice::Restart;
        case Press::Close: return CrashChoice::Close;
      }
    }
    return CrashChoice::Close;
  }

  std::vector<CrashBoxContent> shown;
  std::vector<QString> sendResults;
  // Runs while each box is open, as the real box's event loop would.
  std::function<void()> whileShown;

 private:
  std::deque<std::vector<Press>> scripts_;
};

struct Launch {
  QString program;
  QStringList arguments;
};

class FakeLauncher final : public ProcessLauncher {
 public:
  bool StartDetached(const QString& program, const QStringList& arguments) override {
    launches.push_back({program, arguments});
    return starts;
  }
  QString Output(const QString& program, const QStringList& arguments) override {
    queries.push_back({program, arguments});
    return queryAnswer;
  }
  std::vector<Launch> launches;
  std::vector<Launch> queries;
  bool starts = true;  // false: nothing can be started
  QString queryAnswer = QStringLiteral("mail-reader.desktop\n");
};

}  // namespace kestrin::testing
