// A fatal signal in a child process that installed the handler: the first
// sections of the report, the reporter started with the report's path, and
// the child ending by the same signal, also when the handler itself faults.
//
// AddressSanitizer owns SIGSEGV in the sanitizer build and reports the fault
// itself, so these tests are skipped there.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "frame_names.h"
#include "signal_report.h"

extern char** environ;

namespace kestrin::crash {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerOwnsSignals = true;
#else
constexpr bool kSanitizerOwnsSignals = false;
#endif

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ChildEnd {
  bool ended = false;
  int status = 0;
  pid_t pid = 0;
};

class FatalSignalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kSanitizerOwnsSignals) GTEST_SKIP() << "AddressSanitizer handles SIGSEGV in this build";
    char pattern[] = "/tmp/kestrin-signal-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    report = folder / "state" / "kestrin-music-editor" / "bugreport.txt";
    // The fake reporter writes down its arguments, one a line.
    reporter = folder / "fake-reporter";
    std::ofstream(reporter) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n";
    std::filesystem::permissions(reporter, std::filesystem::perms::owner_all);
  }
  void TearDown() override {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }

  // Runs the child to its end; gives up (and kills it) after 60 seconds, so a
  // hanging handler fails the test instead of hanging it.
  ChildEnd Run(const char* mode, const std::filesystem::path& reporterPath) {
    const std::string reportText = report.string();
    const std::string reporterText = reporterPath.string();
    char* const argv[] = {const_cast<char*>(KESTRIN_FAULT_CHILD), const_cast<char*>(mode),
                          const_cast<char*>(reportText.c_str()), const_cast<char*>(reporterText.c_str()), nullptr};
    ChildEnd end;
    if (posix_spawn(&end.pid, KESTRIN_FAULT_CHILD, nullptr, nullptr, argv, environ) != 0) return end;
    for (int waited = 0; waited < 6000; ++waited) {
      if (waitpid(end.pid, &end.status, WNOHANG) == end.pid) {
        end.ended = true;
        return end;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(end.pid, SIGKILL);
    waitpid(end.pid, &end.status, 0);
    return end;
  }

  std::filesystem::path folder;
  std::filesystem::path report;
  std::filesystem::path reporter;
};

::testing::AssertionResult EndedBy(const ChildEnd& end, int signal) {
  if (!end.ended) return ::testing::AssertionFailure() << "the child did not end";
  if (!WIFSIGNALED(end.status)) return ::testing::AssertionFailure() << "status " << end.status;
  if (WTERMSIG(end.status) != signal) return ::testing::AssertionFailure() << "signal " << WTERMSIG(end.status);
  return ::testing::AssertionSuccess();
}

TEST_F(FatalSignalTest, NullDereferenceIsReportedAndEndsBySigsegv) {
  const ChildEnd end = Run("null", reporter);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));

  const std::string text = ReadFile(report);
  EXPECT_EQ(text.rfind("Kestrin Music Editor crash report\n", 0), 0u);
  for (const char* expected :
       {"== Time ==", "Kestrin Music Editor test\n", "Command line: ", "== Failure ==\n",
        "Signal: SIGSEGV (11)\n", "Code: SEGV_MAPERR (1)\n", "Fault address: 0x0\n", "== Registers ==\n",
        "rip: 0x", "rsp: 0x", "== Stack frames (raw) ==\n#0 0x", "\n#1 0x", "== Modules ==\n",
        "== Editor state ==\nFile opened: /songs/made-up.nes\n"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  EXPECT_NE(text.find("Process id: " + std::to_string(end.pid) + "\n"), std::string::npos);
  EXPECT_NE(text.find(std::filesystem::path(KESTRIN_FAULT_CHILD).filename().string() + "\n"), std::string::npos);

  // The reporter got the report, the crashed process and the signal.
  const std::string args = ReadFile(reporter.string() + ".args");
  EXPECT_EQ(args, report.string() + "\n" + std::to_string(end.pid) + "\n11\n" + KESTRIN_FAULT_CHILD + "\n");

  // What the reporter will name: the faulting function is frame 0.
  const SignalReport written = ReadLastReport(text);
  ASSERT_GE(written.frames.size(), 2u);
  const std::string named = NamedFrames(written.frames, ParseMappings(written.modules));
  EXPECT_EQ(named.rfind("#0 ", 0), 0u);
  EXPECT_NE(named.substr(0, named.find('\n')).find("WriteThroughNowhere"), std::string::npos) << named;
  EXPECT_NE(named.find("main at "), std::string::npos) << named;
  EXPECT_NE(named.find("fault_child.cpp:"), std::string::npos) << named;
}

TEST_F(FatalSignalTest, AbortIsReportedAndEndsBySigabrt) {
  const ChildEnd end = Run("abort", reporter);
  EXPECT_TRUE(EndedBy(end, SIGABRT));
  const std::string text = ReadFile(report);
  EXPECT_NE(text.find("Signal: SIGABRT (6)\n"), std::string::npos);
  EXPECT_NE(text.find("Code: SI_TKILL (-6)\n"), std::string::npos);
  EXPECT_NE(text.find("Sent by process " + std::to_string(end.pid) + "\n"), std::string::npos);
}

TEST_F(FatalSignalTest, FaultInsideTheHandlerEndsTheProcessInBoundedTime) {
  const ChildEnd end = Run("handler-fault", reporter);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));
  // It got as far as the editor state before faulting again; the reporter
  // never ran.
  const std::string text = ReadFile(report);
  EXPECT_NE(text.find("Signal: SIGSEGV (11)\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(reporter.string() + ".args"));
}

TEST_F(FatalSignalTest, MissingReporterIsNotedAndTheSignalStillEndsTheProcess) {
  const std::filesystem::path missing = folder / "no-such-reporter";
  const ChildEnd end = Run("null", missing);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));
  EXPECT_NE(ReadFile(report).find("(" + missing.string() + " could not be started)\n"), std::string::npos);
}

TEST_F(FatalSignalTest, ReporterCompletesOnlyTheReportOfTheCrashedProcess) {
  const ChildEnd end = Run("null", reporter);
  ASSERT_TRUE(EndedBy(end, SIGSEGV));
  const std::string first = ReadFile(report);
  const auto more = [](const SignalReport& written) { return "== More ==\n" + written.signal + "\n"; };

  // Another process's report (an older crash) is left as it is.
  const CompletedReport other = CompleteSignalReport(report.string(), end.pid + 1, more);
  EXPECT_FALSE(other.saved);
  EXPECT_EQ(ReadFile(report), first);

  const CompletedReport completed = CompleteSignalReport(report.string(), end.pid, more);
  EXPECT_TRUE(completed.saved);
  EXPECT_EQ(completed.text, first + "== More ==\nSIGSEGV (SEGV_MAPERR)\n");
  EXPECT_EQ(ReadFile(report), completed.text);
}

TEST_F(FatalSignalTest, UnwritableStateFolderStillStartsTheReporterWhichSaysSo) {
  // A file where the state folder should be: not even root can create it.
  std::ofstream(folder / "state") << "in the way\n";
  const ChildEnd end = Run("null", reporter);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));
  EXPECT_EQ(ReadFile(reporter.string() + ".args").substr(0, report.string().size() + 1), report.string() + "\n");
  const CompletedReport completed =
      CompleteSignalReport(report.string(), end.pid, [](const SignalReport&) { return std::string("== More ==\n"); });
  EXPECT_FALSE(completed.saved);
  EXPECT_EQ(completed.error, "the crashed program could not write to " + report.string());
  EXPECT_EQ(completed.text, "== More ==\n");
}

TEST_F(FatalSignalTest, SecondFailureAppendsASecondReportAfterASeparator) {
  EXPECT_TRUE(EndedBy(Run("null", reporter), SIGSEGV));
  EXPECT_TRUE(EndedBy(Run("abort", reporter), SIGABRT));
  const std::string text = ReadFile(report);
  const std::string between =
      "\n------------------------------------------------------------------------\n"
      "Kestrin Music Editor crash report\n";
  EXPECT_NE(text.find(between), std::string::npos);
  EXPECT_EQ(ReadLastReport(text).signal, "SIGABRT (SI_TKILL)");
}

}  // namespace
}  // namespace kestrin::crash
