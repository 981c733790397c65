#include "exception_reporter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <QWidget>
#include <cxxabi.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <exception>
#include <iterator>
#include <sstream>

#include "crash_session.h"
#include "crash_texts.h"
#include "editor_facts.h"
#include "fatal_signal_handler.h"
#include "qt_system_facts.h"
#include "report_file.h"
#include "report_sections.h"
#include "shell_texts.h"
#include "throw_trace.h"

namespace kestrin {

namespace {

struct ExceptionFacts {
  std::string type;     // demangled; empty when there is no exception
  std::string message;
  const crash::ThrowRecord* thrown = nullptr;  // the trace of its throw, if known
};

ExceptionFacts FactsOf(std::exception_ptr error) {
  ExceptionFacts facts;
  if (!error) return facts;
  try {
    std::rethrow_exception(error);
  } catch (...) {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type != nullptr) facts.type = crash::DemangledName(*type);
    try {
      throw;
    } catch (const std::exception& e) {
      facts.message = e.what();
    } catch (...) {
    }
    // The last throw on this thread is this exception's when the types agree
    // (a rethrow keeps the original throw's record).
    const crash::ThrowRecord* last = crash::LastThrowOnThisThread();
    if (last != nullptr && type != nullptr && last->type != nullptr && *last->type == *type) facts.thrown = last;
  }
  return facts;
}

// At most this many later failures are listed in one report.
constexpr int kMaxLaterFailures = 20;
constexpr const char* kLaterFailuresTitle = "Failures while this report was open";

const char* OriginText(FailureOrigin origin) {
  switch (origin) {
    case FailureOrigin::EventLoop: return "caught by the event loop";
    case FailureOrigin::Handler: return "caught at the handler it escaped from";
    case FailureOrigin::StartUp: return "caught while starting";
    case FailureOrigin::Terminate: return "std::terminate was called";
  }
  return "";
}

std::string CommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ThisExecutable() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

// The window as a PNG file beside the report, readable by the user only; the
// folder keeps the newest few.
QString SaveScreenshot(QWidget* window, const std::filesystem::path& reportPath) {
  if (window == nullptr || reportPath.empty()) return {};
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !window->grab().save(&buffer, "PNG")) return {};
  if (!crash::MakeReportFolder(reportPath.c_str())) return {};
  const QString name = QStringLiteral("bugreport-%1.png")
                           .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
  const std::filesystem::path path = reportPath.parent_path() / name.toStdString();
  if (!crash::WritePrivateFile(path, png.toStdString()).saved) return {};
  crash::KeepNewestScreenshots(reportPath.parent_path());
  return QString::fromStdString(path.string());
}

// "std::runtime_error: the message", one line.
std::string OneLine(std::exception_ptr error) {
  const ExceptionFacts facts = FactsOf(error);
  std::string line = (facts.type.empty() ? std::string("unknown") : facts.type) + ": " + facts.message;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line + '\n';
}

const QString& LossNote(FailureOrigin origin) {
  static const QString none;
  switch (origin) {
    case FailureOrigin::EventLoop:
    case FailureOrigin::Handler: return crash_texts::kEditsKept;
    case FailureOrigin::Terminate: return crash_texts::kEditsLost;
    case FailureOrigin::StartUp: break;  // nothing was open yet
  }
  return none;
}

ExceptionReporter* terminateReporter = nullptr;

void OnTerminate() {
  static std::atomic_flag terminating = ATOMIC_FLAG_INIT;
  // Only the user-interface thread may show the box. Elsewhere, and when
  // reporting itself ends here, abort: the fatal-signal handler reports that.
  const bool uiThread = QCoreApplication::instance() != nullptr &&
                        QThread::currentThread() == QCoreApplication::instance()->thread();
  if (!terminating.test_and_set() && terminateReporter != nullptr && uiThread)
    terminateReporter->Report(std::current_exception(), FailureOrigin::Terminate);
  std::abort();
}

}  // namespace

ExceptionReporter::ExceptionReporter(CrashBox& box, ProcessLauncher& launcher)
    : box_(box),
      launcher_(launcher),
      reportPath_(crash::DefaultReportPath()),
      restartExecutable_(QString::fromStdString(ThisExecutable())),
      ending_(EndProcess) {}

std::string ExceptionReporter::BuildReport(std::exception_ptr error, FailureOrigin origin,
                                           const QString& screenshotPath) const {
  const ExceptionFacts facts = FactsOf(error);
  std::string text;
  {
    crash::SafeWriter out(text);
    out.Text(crash::kReportTitle).Line();
    const std::string commandLine = CommandLine();
    crash::WriteHeader(out, std::time(nullptr), shell_texts::kProgramName.toUtf8().constData(),
                       shell_texts::kVersion.toUtf8().constData(), ThisExecutable().c_str(), commandLine.data(),
                       commandLine.size(), static_cast<long>(getpid()));
    crash::WriteTitle(out, "Failure");
    if (error) {
      out.Text("Exception: ").Text(facts.type.empty() ? "unknown" : facts.type.c_str()).Line();
      out.Text("Message: ").Text(facts.message.c_str()).Line();
    } else {
      out.Text("No exception is in flight").Line();
    }
    out.Text("Where: ").Text(OriginText(origin)).Line();
    if (facts.thrown != nullptr) {
      crash::WriteTitle(out, "Stack trace (where it was thrown)");
      out.Flush();
      text += crash::FormatTrace(facts.thrown->trace);
    } else {
      crash::WriteTitle(out, "Stack trace (where it was reported)");
      out.Flush();
      text += crash::FormatTrace(boost::stacktrace::stacktrace());
    }
  }
  text += crash::ThreadsSection(static_cast<long>(getpid()), static_cast<long>(syscall(SYS_gettid)));
  {
    crash::SafeWriter out(text);
    crash::WriteModules(out);
  }
  text += crash::SystemSection(QtSystemLines());
  {
    crash::SafeWriter out(text);
    const crash::EditorFactsSource source = crash::CurrentEditorFactsSource();
    crash::WriteEditorState(out, source != nullptr ? source() : crash::EditorFacts{});
    crash::WriteTitle(out, "Screenshot");
    out.Text(screenshotPath.isEmpty() ? "none" : screenshotPath.toUtf8().constData()).Line();
  }
  return text;
}

void ExceptionReporter::Report(std::exception_ptr error, FailureOrigin origin) {
  if (reporting_) {
    NoteLaterFailure(error);
    return;
  }
  reporting_ = true;
  struct Done {
    bool& reporting;
    ~Done() { reporting = false; }
  } done{reporting_};
  reportWritten_ = false;
  laterFailures_ = 0;
  laterLines_.clear();
  // Painting the window for the screenshot may fail again: a line.
  const QString screenshot = SaveScreenshot(windowSource_ ? windowSource_() : nullptr, reportPath_);
  SavedReport report;
  std::string text = BuildReport(error, origin, screenshot) + laterLines_;
  const crash::AppendResult appended = crash::AppendReport(reportPath_, text);
  reportWritten_ = appended.saved;
  report.text = QString::fromStdString(text);
  report.saved = appended.saved;
  report.error = QString::fromStdString(appended.error);
  report.path = QString::fromStdString(reportPath_.string());
  report.screenshotPath = screenshot;
  if (report.saved) report.newestReportPath = NewestReportPathBeside(report.path);

  CrashSession session(launcher_, report, restartExecutable_);
  const QString message = crash_texts::kExceptionMessage.arg(QString::fromStdString(FactsOf(error).message));
  const bool canContinue = origin == FailureOrigin::EventLoop || origin == FailureOrigin::Handler;
  const CrashChoice choice = session.Run(box_, message, LossNote(origin), canContinue);
  if (choice == CrashChoice::Continue) return;
  ending_(origin == FailureOrigin::Terminate ? Ending::AbortWithDefault : Ending::ExitZero);
}

void ExceptionReporter::NoteLaterFailure(std::exception_ptr error) {
  if (laterFailures_ > kMaxLaterFailures) return;
  std::string line;
  if (laterFailures_ == 0) {
    // Appended piece by piece: GCC 12 warns falsely (-Warray-bounds) about
    // a chain of + on a temporary string here.
    line.append("== ").append(kLaterFailuresTitle).append(" ==\n");
  }
  line += ++laterFailures_ > kMaxLaterFailures ? std::string("(more are not listed)\n") : OneLine(error);
  if (reportWritten_) {
    crash::AppendToLastReport(reportPath_, line);
  } else {
    laterLines_ += line;
  }
}

void EndProcess(Ending ending) {
  std::fflush(nullptr);
  if (ending == Ending::AbortWithDefault) {
    crash::RestoreDefaultAction(SIGABRT);
    std::abort();
  }
  // The program's state is not to be trusted after the failure: no
  // destructors, no handlers at exit.
  std::_Exit(0);
}

void InstallTerminateHandler(ExceptionReporter* reporter) {
  terminateReporter = reporter;
  std::set_terminate(reporter != nullptr ? OnTerminate : __gnu_cxx::__verbose_terminate_handler);
}

}  // namespace kestrin
