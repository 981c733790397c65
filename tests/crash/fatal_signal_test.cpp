// A fatal signal in a child process that installed the handler: the first
// sections of the report, the reporter started with the report's path, and
// the child ending by the same signal; when the handler itself faults, the
// reporter runs all the same and says the report ends early.
//
// AddressSanitizer owns SIGSEGV in the sanitizer build and reports the fault
// itself, so the tests of SIGSEGV are skipped there; the abort tests run in
// every build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fatal_signal_handler.h"
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
    if (kSanitizerOwnsSignals && needsSigsegv) GTEST_SKIP() << "AddressSanitizer handles SIGSEGV in this build";
    char pattern[] = "/tmp/kestrin-signal-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    report = folder / "state" / "kestrin-music-editor" / "bugreport.txt";
    // The fake reporter writes down the signals it was started with blocked
    // (read by the shell itself: a child would see the shell's own mask),
    // what came down its standard input, then its arguments, one a line.
    reporter = folder / "fake-reporter";
    std::ofstream(reporter) << "#!/bin/sh\nwhile read -r key value; do\n"
                               "  if [ \"$key\" = SigBlk: ]; then echo \"$value\" > \"$0.blocked\"; fi\n"
                               "done < /proc/$$/status\n"
                               "cat > \"$0.stdin\"\nprintf '%s\\n' \"$@\" > \"$0.part\"\n"
                               "mv \"$0.part\" \"$0.args\"\n";
    std::filesystem::permissions(reporter, std::filesystem::perms::owner_all);
  }
  void TearDown() override {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }

  // Runs the child to its end; gives up (and kills it) after 60 seconds, so a
  // hanging handler fails the test instead of hanging it.
  // `withoutDisplay`: the child and its reporter find no display.
  ChildEnd Run(const char* mode, const std::filesystem::path& reporterPath, bool withoutDisplay = false) {
    const std::string reportText = report.string();
    const std::string reporterText = reporterPath.string();
    char* const argv[] = {const_cast<char*>(KESTRIN_FAULT_CHILD), const_cast<char*>(mode),
                          const_cast<char*>(reportText.c_str()), const_cast<char*>(reporterText.c_str()), nullptr};
    return RunToEnd(argv, withoutDisplay, 60);
  }

  // Runs argv[0] with this process's environment (less the display's when
  // `withoutDisplay`) to its end, or kills it after `seconds`.
  static ChildEnd RunToEnd(char* const argv[], bool withoutDisplay, int seconds,
                           const posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string text = *variable;
      const bool display = text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                           text.rfind("QT_QPA_PLATFORM=", 0) == 0;
      if (!withoutDisplay || !display) variables.push_back(text);
    }
    if (withoutDisplay) variables.emplace_back("QT_QPA_PLATFORM=xcb");
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    ChildEnd end;
    if (posix_spawn(&end.pid, argv[0], actions, nullptr, argv, envp.data()) != 0) return end;
    for (int waited = 0; waited < seconds * 100; ++waited) {
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
  bool needsSigsegv = true;
};

// SIGABRT stays with the handler under AddressSanitizer: these run in every
// build, so the sanitizer watches the handler itself.
class FatalAbortTest : public FatalSignalTest {
 protected:
  FatalAbortTest() { needsSigsegv = false; }
};

// A reporter whose crashed parent died before it finished runs on alone:
// waits (at most a minute) until `done` holds.
bool WaitFor(const std::function<bool()>& done) {
  for (int waited = 0; waited < 6000; ++waited) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

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
       {"== Time ==", "Kestrin Music Editor test\n", "Command line: ", "== Failure ==\n", "Signal: SIGSEGV (11)\n",
        "Code: SEGV_MAPERR (1)\n", "Fault address: 0x0\n", "== Stack frames (raw) ==\n#0 0x", "\n#1 0x",
        "== Modules ==\n", "== Editor state ==\nFile opened: /songs/made-up.nes\n"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  // The command line's arguments, each after one blank.
  EXPECT_NE(text.find(std::string("\nExecutable: ") + KESTRIN_FAULT_CHILD + "\nCommand line: " + KESTRIN_FAULT_CHILD +
                      " null " + report.string() + " " + reporter.string() + "\nProcess id: " + std::to_string(end.pid) +
                      "\n"),
            std::string::npos)
      << text;
#if defined(__x86_64__)
  // Every general register, by the name the processor's manuals give it, in
  // 16 hexadecimal digits; a null dereference is a page fault, trap 14.
  std::string registers = "\n== Registers ==\n";
  for (const char* name : {"rip", "rsp", "rbp", "rax", "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11",
                           "r12", "r13", "r14", "r15", "eflags", "err"}) {
    registers += std::string(name) + ": 0x[0-9a-f]{16}\n";
  }
  EXPECT_TRUE(std::regex_search(text, std::regex(registers + "trapno: 0x000000000000000e\n== "))) << text;
#endif
  // The failing thread, here the process's only one.
  EXPECT_NE(text.find("\nThread: " + std::to_string(end.pid) + "\n"), std::string::npos);

  // The reporter got the report, the crashed process and the signal, and
  // heard that the handler wrote its whole part.
  const std::string args = ReadFile(reporter.string() + ".args");
  EXPECT_EQ(args, report.string() + "\n" + std::to_string(end.pid) + "\n11\n" + KESTRIN_FAULT_CHILD + "\n");
  EXPECT_EQ(ReadFile(reporter.string() + ".stdin"), "done\n");
  // It starts with no signal blocked, though the handler that started it ran
  // with its own signal blocked.
  EXPECT_EQ(ReadFile(reporter.string() + ".blocked"), "0000000000000000\n");

  // What the reporter will name: the faulting function is frame 0.
  const SignalReport written = ReadLastReport(text);
  ASSERT_GE(written.frames.size(), 2u);
  // Modules are the files mapped as code, each named by its path.
  std::istringstream modules(written.modules);
  for (std::string line; std::getline(modules, line);) EXPECT_NE(line.find(" /"), std::string::npos) << line;
  const std::string named = NamedFrames(written.frames, ParseMappings(written.modules), {});
  EXPECT_EQ(named.rfind("#0 ", 0), 0u);
  EXPECT_NE(named.substr(0, named.find('\n')).find("WriteThroughNowhere"), std::string::npos) << named;
  EXPECT_NE(named.find(KESTRIN_DEBUG_INFO ? "main at " : "main in "), std::string::npos) << named;
  if (KESTRIN_DEBUG_INFO) {
    EXPECT_NE(named.find("fault_child.cpp:"), std::string::npos) << named;
  }
}

TEST_F(FatalAbortTest, AbortIsReportedAndEndsBySigabrt) {
  const ChildEnd end = Run("abort", reporter);
  EXPECT_TRUE(EndedBy(end, SIGABRT));
  const std::string text = ReadFile(report);
  EXPECT_NE(text.find("Signal: SIGABRT (6)\n"), std::string::npos);
  EXPECT_NE(text.find("Code: SI_TKILL (-6)\n"), std::string::npos);
  EXPECT_NE(text.find("Sent by process " + std::to_string(end.pid) + "\n"), std::string::npos);
}

// A handler stuck on a broken stack never says "done" and keeps its pipe
// open: the reporter waits for it ten seconds, not for ever, then completes
// the report as one cut short.
TEST_F(FatalAbortTest, ReporterStopsWaitingForAStuckHandler) {
  const ChildEnd crashed = Run("abort", reporter);
  ASSERT_TRUE(EndedBy(crashed, SIGABRT));
  int stuck[2];
  ASSERT_EQ(pipe(stuck), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, stuck[0], STDIN_FILENO);
  posix_spawn_file_actions_addclose(&actions, stuck[1]);
  const std::string reportText = report.string();
  const std::string pid = std::to_string(crashed.pid);
  char* const argv[] = {const_cast<char*>(KESTRIN_CRASH_REPORTER), const_cast<char*>(reportText.c_str()),
                        const_cast<char*>(pid.c_str()), const_cast<char*>("6"),
                        const_cast<char*>(KESTRIN_FAULT_CHILD), nullptr};
  const ChildEnd reporterEnd = RunToEnd(argv, true, 30, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(stuck[0]);
  close(stuck[1]);
  EXPECT_TRUE(reporterEnd.ended) << "still waiting after 30 seconds";
  EXPECT_NE(ReadFile(report).find("(The crashed program failed again while writing this report"), std::string::npos);
}

// The report is whole whatever descriptor it gets. A process out of
// descriptors: the report file takes the last one, so the handler gets no
// pipe and writes the whole report before it starts the reporter (which,
// under the same limit, cannot start here). A process started with its
// standard input closed: the report file takes descriptor 0.
TEST_F(FatalAbortTest, OddDescriptorsStillGetTheWholeReport) {
  for (const char* mode : {"abort-with-one-descriptor-left", "abort-without-standard-input"}) {
    std::filesystem::remove(report);
    EXPECT_TRUE(EndedBy(Run(mode, reporter), SIGABRT)) << mode;
    const std::string text = ReadFile(report);
    for (const char* expected : {"Signal: SIGABRT (6)\n", "== Stack frames (raw) ==\n#0 0x", "== Modules ==\n"})
      EXPECT_NE(text.find(expected), std::string::npos) << mode << ": " << expected << "\n" << text;
  }
}

TEST_F(FatalSignalTest, FaultInsideTheHandlerStillStartsTheReporterAndEndsTheProcess) {
  const ChildEnd end = Run("handler-fault", reporter);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));
  // Everything up to the unwinder's fault is on disk, and the reporter ran,
  // though it never heard "done".
  ASSERT_TRUE(WaitFor([this] { return std::filesystem::exists(reporter.string() + ".args"); }));
  const std::string text = ReadFile(report);
  for (const char* expected : {"Signal: SIGSEGV (11)\n", "== Registers ==\n", "== Editor state ==\n", "== Modules ==\n",
                               "== Stack frames (raw) ==\n"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  EXPECT_EQ(ReadFile(reporter.string() + ".args").substr(0, report.string().size() + 1), report.string() + "\n");
  EXPECT_EQ(ReadFile(reporter.string() + ".stdin"), "");
}

TEST_F(FatalSignalTest, RealReporterCompletesTheReportBeforeAnyWindowEvenWithoutADisplay) {
  struct Case {
    const char* mode;
    bool cutShort;
  };
  for (const Case c : {Case{"null", false}, Case{"handler-fault", true}}) {
    SCOPED_TRACE(c.mode);
    std::filesystem::remove(report);
    const ChildEnd end = Run(c.mode, KESTRIN_CRASH_REPORTER, true);
    EXPECT_TRUE(EndedBy(end, SIGSEGV));
    EXPECT_TRUE(WaitFor([this] { return ReadFile(report).find("== System ==\n") != std::string::npos; }));
    const std::string text = ReadFile(report);
    EXPECT_EQ(text.find("(The crashed program failed again while writing this report: its part ends above. "
                        "kestrin-crash-report added what follows.)\n") != std::string::npos,
              c.cutShort)
        << text;
    for (const char* expected : {"== Stack trace ==\n", "== Threads ==\n", "== System ==\n", "Kernel: "})
      EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    if (!c.cutShort) {
      EXPECT_NE(text.find("WriteThroughNowhere"), std::string::npos) << text;
    }
  }
}

TEST_F(FatalSignalTest, ReportCutAnywhereIsReadWithoutThrowingAndGivesOnlyWholeFrames) {
  ASSERT_TRUE(EndedBy(Run("null", reporter), SIGSEGV));
  const std::string text = ReadFile(report);
  const SignalReport whole = ReadLastReport(text);
  ASSERT_GE(whole.frames.size(), 2u);
  for (std::size_t size = 0; size <= text.size(); ++size) {
    const SignalReport cut = ReadLastReport(text.substr(0, size));
    // A number cut short is no number: never another process or thread.
    ASSERT_TRUE(cut.pid == 0 || cut.pid == whole.pid) << size;
    ASSERT_TRUE(cut.thread == 0 || cut.thread == whole.thread) << size;
    ASSERT_LE(cut.frames.size(), whole.frames.size());
    ASSERT_TRUE(std::equal(cut.frames.begin(), cut.frames.end(), whole.frames.begin())) << size;
  }
}

// Another fatal signal while the first is being reported (here a SIGBUS
// that another process sends) ends the process at once, by that signal: it
// does not wait with the first one for the reporter.
TEST_F(FatalSignalTest, SecondFailureWhileReportingEndsTheProcessAtOnce) {
  const std::filesystem::path killing = folder / "killing-reporter";
  std::ofstream(killing) << "#!/bin/sh\nexec >/dev/null 2>&1\nkill -BUS \"$2\"\nsleep 5\ntouch \"$0.ended\"\n";
  std::filesystem::permissions(killing, std::filesystem::perms::owner_all);
  EXPECT_TRUE(EndedBy(Run("null-beside-a-thread", killing), SIGBUS));
  EXPECT_FALSE(std::filesystem::exists(killing.string() + ".ended")) << "the process waited for its reporter";
}

TEST_F(FatalSignalTest, AReporterMissingOrGoneEarlyLeavesTheProcessToItsOwnSignal) {
  const std::filesystem::path missing = folder / "no-such-reporter";
  const ChildEnd end = Run("null", missing);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));
  const std::string text = ReadFile(report);
  EXPECT_NE(text.find("(" + missing.string() + " could not be started)\n"), std::string::npos);

  // A reporter gone before the handler's last word to it must not end the
  // process by SIGPIPE. This one shuts its input, then reads the report: a
  // FIFO of one page, whose writer waits for that reader midway through the
  // sections written once the reporter runs. A reporter path longer by "./"
  // steps lengthens the command line, written before them, to put that
  // midway point there (its name is as long as the missing one's).
  const std::size_t before = text.find("== Modules =="), all = text.find("(" + missing.string());
  ASSERT_LT(before, all);
  std::string steps;
  while (steps.size() + (before + all) / 2 < 4096) steps += "./";
  const std::filesystem::path closing = folder / (steps + "closing-reporter");
  std::ofstream(closing) << "#!/bin/sh\nexec 0<&-\nexec cat \"$1\" > \"$0.report\"\n";
  std::filesystem::permissions(closing, std::filesystem::perms::owner_all);
  std::filesystem::remove(report);
  ASSERT_EQ(mkfifo(report.c_str(), 0600), 0);
  const int reader = open(report.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_EQ(fcntl(reader, F_SETPIPE_SZ, 4096), 4096);
  EXPECT_TRUE(EndedBy(Run("null", closing), SIGSEGV));
  close(reader);
  EXPECT_NE(ReadFile(closing.string() + ".report").find("== Stack frames (raw) ==\n#0 "), std::string::npos);
}

TEST_F(FatalSignalTest, ReporterCompletesOnlyTheReportOfTheCrashedProcess) {
  const ChildEnd end = Run("null", reporter);
  ASSERT_TRUE(EndedBy(end, SIGSEGV));
  const std::string first = ReadFile(report);
  const auto more = [](const SignalReport& written) { return "== More ==\n" + written.signal + "\n"; };

  // Another process's report (an older crash) is left as it is.
  const CompletedReport other = CompleteSignalReport(report.string(), end.pid + 1, true, more);
  EXPECT_FALSE(other.saved);
  EXPECT_EQ(ReadFile(report), first);
  // So is one that names no process, though the reporter could not read its
  // own process number either (0).
  std::string unnamed = first;
  const auto at = unnamed.find("\nProcess id: ");
  ASSERT_NE(at, std::string::npos);
  unnamed.erase(at, unnamed.find('\n', at + 1) - at);
  std::ofstream(report, std::ios::trunc) << unnamed;
  EXPECT_FALSE(CompleteSignalReport(report.string(), 0, true, more).saved);
  EXPECT_EQ(ReadFile(report), unnamed);
  std::ofstream(report, std::ios::trunc) << first;

  const CompletedReport completed = CompleteSignalReport(report.string(), end.pid, true, more);
  EXPECT_TRUE(completed.saved);
  EXPECT_EQ(completed.text, first + "== More ==\nSIGSEGV (SEGV_MAPERR)\n");
  EXPECT_EQ(ReadFile(report), completed.text);
}

TEST_F(FatalSignalTest, ReportOfAHandlerThatDidNotFinishSaysItEndsEarly) {
  const ChildEnd end = Run("null", reporter);
  ASSERT_TRUE(EndedBy(end, SIGSEGV));
  const std::string first = ReadFile(report);
  const CompletedReport completed = CompleteSignalReport(report.string(), end.pid, false, [](const SignalReport&) {
    return std::string("== More ==\n");
  });
  EXPECT_EQ(completed.text, first +
                                "(The crashed program failed again while writing this report: its part ends above. "
                                "kestrin-crash-report added what follows.)\n== More ==\n");
  EXPECT_EQ(ReadFile(report), completed.text);
}

TEST_F(FatalSignalTest, UnwritableStateFolderStillStartsTheReporterWhichSaysSo) {
  // A file where the state folder should be: not even root can create it.
  std::ofstream(folder / "state") << "in the way\n";
  const ChildEnd end = Run("null", reporter);
  EXPECT_TRUE(EndedBy(end, SIGSEGV));
  EXPECT_EQ(ReadFile(reporter.string() + ".args").substr(0, report.string().size() + 1), report.string() + "\n");
  const CompletedReport completed = CompleteSignalReport(report.string(), end.pid, true,
                                                         [](const SignalReport&) { return std::string("== More ==\n"); });
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

// The names a report gives the fatal signals and their codes: as <signal.h>
// spells them, and none for what it does not know.
TEST(SignalNames, EveryFatalSignalAndEachOfItsCodes) {
  const std::pair<int, const char*> signals[] = {{SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"}, {SIGFPE, "SIGFPE"},
                                                 {SIGILL, "SIGILL"},   {SIGABRT, "SIGABRT"}, {SIGTERM, nullptr}};
  for (const auto& [signal, name] : signals) EXPECT_STREQ(FatalSignalName(signal), name) << signal;
  const struct {
    int signal;
    int code;
    const char* name;
  } codes[] = {
      {SIGSEGV, SI_USER, "SI_USER"},         {SIGBUS, SI_TKILL, "SI_TKILL"},       {SIGFPE, SI_QUEUE, "SI_QUEUE"},
      {SIGILL, SI_KERNEL, "SI_KERNEL"},      {SIGSEGV, SEGV_MAPERR, "SEGV_MAPERR"}, {SIGSEGV, SEGV_ACCERR, "SEGV_ACCERR"},
      {SIGBUS, BUS_ADRALN, "BUS_ADRALN"},    {SIGBUS, BUS_ADRERR, "BUS_ADRERR"},   {SIGBUS, BUS_OBJERR, "BUS_OBJERR"},
      {SIGFPE, FPE_INTDIV, "FPE_INTDIV"},    {SIGFPE, FPE_INTOVF, "FPE_INTOVF"},   {SIGFPE, FPE_FLTDIV, "FPE_FLTDIV"},
      {SIGFPE, FPE_FLTOVF, "FPE_FLTOVF"},    {SIGFPE, FPE_FLTUND, "FPE_FLTUND"},   {SIGFPE, FPE_FLTRES, "FPE_FLTRES"},
      {SIGFPE, FPE_FLTINV, "FPE_FLTINV"},    {SIGILL, ILL_ILLOPC, "ILL_ILLOPC"},   {SIGILL, ILL_ILLOPN, "ILL_ILLOPN"},
      {SIGILL, ILL_ILLADR, "ILL_ILLADR"},    {SIGILL, ILL_PRVOPC, "ILL_PRVOPC"},   {SIGABRT, 1, nullptr},
      {SIGSEGV, 99, nullptr},
  };
  for (const auto& c : codes) EXPECT_STREQ(SignalCodeName(c.signal, c.code), c.name) << c.signal << " " << c.code;
}

}  // namespace
}  // namespace kestrin::crash
