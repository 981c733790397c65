// The Qt-free parts of crash reporting: where the report goes, how it is
// appended and who may read it, the handler's own number and time
// formatting, the report's sections and how the reporter reads one back,
// the throw trace and the naming of raw frames.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/limits.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "editor_facts.h"
#include "frame_names.h"
#include "report_file.h"
#include "report_sections.h"
#include "signal_report.h"
#include "signal_safe_writer.h"
#include "open_descriptors.h"
#include "standard_input_closed.h"
#include "throw_trace.h"

namespace kestrin::crash {
namespace {

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a shell command printed.
std::string CommandOutput(const std::string& command) {
  std::string text;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return text;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) text.append(chunk, got);
  return text;
}

unsigned ModeOf(const std::filesystem::path& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// This test program's build-id, as readelf reads it from the file.
std::string OwnBuildId() {
  const std::string notes = CommandOutput("readelf -n '" + std::filesystem::read_symlink("/proc/self/exe").string() + "'");
  std::smatch found;
  return std::regex_search(notes, found, std::regex("Build ID: ([0-9a-f]+)")) ? found[1].str() : std::string();
}

// A fresh folder under /tmp, removed at the end of the test.
struct TempFolder {
  TempFolder() {
    char pattern[] = "/tmp/kestrin-crash-core.XXXXXX";
    if (mkdtemp(pattern) != nullptr) path = pattern;
  }
  ~TempFolder() {
    std::error_code error;
    if (!path.empty()) std::filesystem::remove_all(path, error);
  }
  std::filesystem::path path;
};

TEST(ReportFile, LivesInTheUsersStateFolder) {
  EXPECT_EQ(StateFolderFor("/home/ann/.state", "/home/ann"), "/home/ann/.state/kestrin-music-editor");
  // Unset or relative: the default under the home folder.
  EXPECT_EQ(StateFolderFor(nullptr, "/home/ann"), "/home/ann/.local/state/kestrin-music-editor");
  EXPECT_EQ(StateFolderFor("state", "/home/ann"), "/home/ann/.local/state/kestrin-music-editor");
  EXPECT_EQ(StateFolderFor("", "/home/ann"), "/home/ann/.local/state/kestrin-music-editor");
  EXPECT_EQ(StateFolderFor(nullptr, nullptr), "");
  EXPECT_EQ(StateFolderFor(nullptr, "ann"), "");
}

TEST(ReportFile, WhatCannotBeWrittenWholeFailsAndLeavesNothingBehind) {
  TempFolder temp;
  // A folder in the file's place: the new file cannot replace it, and its
  // temporary file goes again.
  std::filesystem::create_directories(temp.path / "taken" / "inside");
  const AppendResult blocked = WritePrivateFile(temp.path / "taken", "report\n");
  EXPECT_FALSE(blocked.saved);
  EXPECT_EQ(blocked.error.rfind((temp.path / "taken").string() + ": ", 0), 0u) << blocked.error;
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"taken"});
  // A name too long for any folder is refused before anything is made.
  const std::string overlong = temp.path.string() + "/" + std::string(PATH_MAX, 'a') + "/bugreport.txt";
  errno = 0;
  EXPECT_FALSE(MakeReportFolder(overlong.c_str()));
  EXPECT_EQ(errno, ENAMETOOLONG);
  // The longest name the system takes (PATH_MAX - 1 bytes) gets its folders.
  const std::string file = "/bugreport.txt";
  std::string longest = temp.path.string();
  while (longest.size() + file.size() < PATH_MAX - 1)
    longest += "/" + std::string(std::min<std::size_t>(200, PATH_MAX - 2 - file.size() - longest.size()), 'b');
  longest += file;
  ASSERT_EQ(longest.size(), PATH_MAX - 1u);
  EXPECT_TRUE(MakeReportFolder(longest.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(longest).parent_path()));
  // A bare file name needs no folder.
  EXPECT_TRUE(MakeReportFolder("bugreport.txt"));
}

TEST(ReportFile, AppendsReportsSeparatedByALineAndCreatesTheFolder) {
  const auto folder = std::filesystem::temp_directory_path() / "kestrin-append-test";
  std::filesystem::remove_all(folder);
  const auto path = folder / "deeper" / "bugreport.txt";
  const std::ptrdiff_t openBefore = OpenDescriptors();
  EXPECT_TRUE(AppendReport(path, "first\n").saved);
  EXPECT_TRUE(AppendReport(path, "second\n").saved);
  // A text of one byte is written too.
  EXPECT_TRUE(AppendToLastReport(path, "+").saved);
  EXPECT_EQ(OpenDescriptors(), openBefore) << "the report and its folder are closed again";
  EXPECT_EQ(ReadWholeFile(path),
            "first\n------------------------------------------------------------------------\nsecond\n+");
  // A file in the folder's place: nothing is saved, and the reason is given.
  const AppendResult blocked = AppendReport(path / "below-a-file.txt", "third\n");
  EXPECT_FALSE(blocked.saved);
  EXPECT_FALSE(blocked.error.empty());
  for (const AppendResult& homeless : {AppendReport({}, "x\n"), AppendToLastReport({}, "x\n")})
    EXPECT_EQ(homeless.error, "no home folder is known");
  std::filesystem::remove_all(folder);
}

TEST(ReportFile, OnlyTheUserMayReadReportsOrFollowALinkToThem) {
  TempFolder temp;
  const auto folder = temp.path / "state" / "kestrin-music-editor";
  // New: folders 0700, the file 0600, whatever the umask lets through.
  const mode_t umaskBefore = umask(0);
  EXPECT_TRUE(AppendReport(folder / "bugreport.txt", "first\n").saved);
  umask(umaskBefore);
  EXPECT_EQ(ModeOf(temp.path / "state"), 0700u);
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(folder / "bugreport.txt"), 0600u);
  // Left wider by an older version: narrowed at the next report, also by an
  // editor started without standard input (the folder opens as descriptor 0).
  chmod(folder.c_str(), 0755);
  chmod((folder / "bugreport.txt").c_str(), 0644);
  {
    const StandardInputClosed noInput;
    EXPECT_TRUE(AppendReport(folder / "bugreport.txt", "second\n").saved);
  }
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(folder / "bugreport.txt"), 0600u);
  // A link in the report's place is not followed: its target stays as it was.
  std::ofstream(temp.path / "elsewhere.txt") << "not a report\n";
  std::filesystem::create_symlink(temp.path / "elsewhere.txt", folder / "linked.txt");
  EXPECT_FALSE(AppendReport(folder / "linked.txt", "third\n").saved);
  EXPECT_EQ(ReadWholeFile(temp.path / "elsewhere.txt"), "not a report\n");
  // Nor is a link in the folder's place: the folder it names keeps its mode.
  std::filesystem::create_directory(temp.path / "shared");
  chmod((temp.path / "shared").c_str(), 0755);
  std::filesystem::create_directory_symlink(temp.path / "shared", temp.path / "state" / "linked-folder");
  AppendReport(temp.path / "state" / "linked-folder" / "bugreport.txt", "fourth\n");
  EXPECT_EQ(ModeOf(temp.path / "shared"), 0755u);
}

TEST(ReportFile, KeepsTheTenNewestReportsAndScreenshots) {
  TempFolder temp;
  const auto path = temp.path / "bugreport.txt";
  const std::ptrdiff_t openBefore = OpenDescriptors();
  std::string kept;
  for (int n = 1; n <= 12; ++n) {
    const std::string report = "Kestrin Music Editor crash report\nnumber " + std::to_string(n) + "\n";
    ASSERT_TRUE(AppendReport(path, report).saved);
    if (n >= 3) kept += (n > 3 ? "------------------------------------------------------------------------\n" : "") + report;
  }
  EXPECT_EQ(ReadWholeFile(path), kept);
  {
    // Read back also by a program started without standard input: the
    // report then opens as descriptor 0.
    const StandardInputClosed noInput;
    std::string read;
    EXPECT_TRUE(ReadReportFile(path, read));
    EXPECT_EQ(read, kept);
  }
  EXPECT_EQ(ModeOf(path), 0600u);
  // What cannot be read (here a folder) is never taken for a file to cut.
  EXPECT_FALSE(KeepNewestReports(temp.path).saved);
  EXPECT_EQ(OpenDescriptors(), openBefore) << "every report read, cut and written is closed again";

  for (int n = 10; n < 22; ++n) std::ofstream(temp.path / ("bugreport-20261208-0700" + std::to_string(n) + "-000.png"));
  std::ofstream(temp.path / "holiday.png");
  // A link is no screenshot of ours, though it sorts first.
  std::filesystem::create_symlink(temp.path / "holiday.png", temp.path / "bugreport-20261208-070000-000.png");
  KeepNewestScreenshots(temp.path);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected{"bugreport.txt", "holiday.png", "bugreport-20261208-070000-000.png"};
  for (int n = 12; n < 22; ++n) expected.push_back("bugreport-20261208-0700" + std::to_string(n) + "-000.png");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
}

TEST(SafeWriter, WritesNumbersAndUtcTimesWithoutTheCLibrary) {
  std::string text;
  {
    SafeWriter out(text);
    const char emptyBeforeMore[] = {'\0', 'x', '\0'};  // an empty text adds nothing, and nothing past its end
    out.Text(emptyBeforeMore).Text(nullptr);
    out.Decimal(0).Text(" ").Decimal(-42).Text(" ").Decimal(9223372036854775807LL).Text(" ");
    out.Hex(0).Text(" ").Hex(0xBEEF, 8).Text(" ");
    WriteUtcTime(out, 0);
    out.Text(" / ");
    WriteUtcTime(out, 951782399);  // the last second before 29 February 2000
    out.Text(" / ");
    WriteUtcTime(out, 1796715005);
    out.Text(" / ");
    WriteUtcTime(out, 1796770800);  // the first second of an hour late in the day
    out.Text(" / ");
    WriteUtcTime(out, -1);  // a clock set before 1970
  }
  EXPECT_EQ(text,
            "0 -42 9223372036854775807 0x0 0x0000beef 1970-01-01 00:00:00 UTC / "
            "2000-02-28 23:59:59 UTC / 2026-12-08 07:30:05 UTC / 2026-12-08 23:00:00 UTC / 1969-12-31 23:59:59 UTC");
}

TEST(ReportSections, ModulesAreTheExecutableFileMappingsWithTheirBuildIds) {
  // Among them a line longer than the reader's buffer: a file with a long path.
  TempFolder temp;
  const std::filesystem::path deep = temp.path / std::string(250, 'd') / std::string(250, 'd');
  std::filesystem::create_directories(deep.parent_path());
  std::ofstream(deep) << "x";
  const int file = open(deep.c_str(), O_RDONLY | O_CLOEXEC);
  void* const mapped = mmap(nullptr, 1, PROT_READ, MAP_PRIVATE, file, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  std::string text;
  const std::ptrdiff_t openBefore = OpenDescriptors();
  {
    SafeWriter out(text);
    WriteModules(out);
  }
  EXPECT_EQ(OpenDescriptors(), openBefore) << "the module list is closed again";
  munmap(mapped, 1);
  close(file);
  EXPECT_EQ(text.rfind("== Modules ==\n", 0), 0u);
  EXPECT_NE(text.find(" r-xp "), std::string::npos);
  EXPECT_EQ(text.find(" rw-p "), std::string::npos);
  EXPECT_EQ(text.find("[stack]"), std::string::npos);
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string buildId = OwnBuildId();
  ASSERT_FALSE(buildId.empty());
  EXPECT_NE(text.find(" " + self + " (build-id " + buildId + ")\n"), std::string::npos) << text;
}

TEST(ReportSections, HeaderGivesTimeProgramExecutableEachArgumentAndProcessId) {
  const char arguments[] = "kestrin-music-editor\0--open\0my song.nes";  // as /proc/self/cmdline ends: in a NUL
  std::string text;
  {
    SafeWriter out(text);
    WriteHeader(out, 1796715005, "Kestrin Music Editor", "1.2.3", "/usr/bin/kestrin-music-editor", arguments,
                sizeof arguments, 4242);
    WriteHeader(out, 0, "P", "0", "/x", "", 0, 1);
  }
  EXPECT_EQ(text,
            "== Time ==\n2026-12-08 07:30:05 UTC\n== Program ==\nKestrin Music Editor 1.2.3\n"
            "Executable: /usr/bin/kestrin-music-editor\nCommand line: kestrin-music-editor --open my song.nes\n"
            "Process id: 4242\n"
            "== Time ==\n1970-01-01 00:00:00 UTC\n== Program ==\nP 0\nExecutable: /x\nCommand line:\n"
            "Process id: 1\n");
}

TEST(ReportSections, EditorStateSaysAsMuchAsTheEditorHasOpen) {
  struct Case {
    EditorFacts facts;
    const char* lines;  // after the title
  };
  const Case cases[] = {
      {{}, "File opened: none\n"},
      {{.fileName = "/a.nes"}, "File opened: none\n"},  // a name left from a closed file
      {{.fileName = nullptr, .fileLoaded = true}, "File opened: none\n"},
      {{.fileName = "/a.nes", .fileLoaded = true}, "File opened: /a.nes\nSong set: none chosen\nPart loaded: none\n"},
      {{.fileName = "/a.nes", .fileLoaded = true, .songSet = 1, .songChosen = true, .firstPart = 0, .lastPart = 2,
        .loopPart = 1},
       "File opened: /a.nes\nSong set: 1\nFirst, last and loop part: 0, 2, 1\nPart loaded: none\n"},
      {{.fileName = "/a.nes", .fileLoaded = true, .partLoaded = true, .headerPosition = 0x1a010, .square1Length = 7},
       "File opened: /a.nes\nSong set: none chosen\nPart loaded: header at 0x1a010, Square 1 stream of 7 bytes\n"},
  };
  for (const Case& c : cases) {
    std::string text;
    {
      SafeWriter out(text);
      WriteEditorState(out, c.facts);
    }
    EXPECT_EQ(text, std::string("== Editor state ==\n") + c.lines);
  }
}

// The program publishes after every event, and a signal may come in the
// middle: the copy the handler was last pointed at stays whole while the
// next one is written.
TEST(EditorFacts, PublishingLeavesTheCopyTheHandlerReadsAlone) {
  PublishEditorFacts({.fileName = "/songs/first.nes", .fileLoaded = true});
  const EditorFacts read = PublishedEditorFacts();
  PublishEditorFacts({.fileName = "/songs/second.nes", .fileLoaded = true});
  EXPECT_STREQ(read.fileName, "/songs/first.nes");
  EXPECT_STREQ(PublishedEditorFacts().fileName, "/songs/second.nes");
}

// The unwinder's frames from the failing instruction on, up to the first
// null; only that instruction when the unwinder did not reach it.
TEST(ReportSections, RawFramesStartAtTheFailingInstruction) {
  const void* frames[] = {reinterpret_cast<const void*>(0x1000), reinterpret_cast<const void*>(0x4011a0),
                          reinterpret_cast<const void*>(0x4011b4), nullptr, reinterpret_cast<const void*>(0x5000)};
  struct Case {
    std::size_t count;
    std::uintptr_t pc;
    const char* lines;
  };
  const Case cases[] = {
      {5, 0x4011a0, "#0 0x00000000004011a0\n#1 0x00000000004011b4\n"},
      {5, 0x9999, "#0 0x0000000000009999\n"},
      {0, 0x9999, "#0 0x0000000000009999\n"},
      {5, 0, "#0 0x0000000000001000\n#1 0x00000000004011a0\n#2 0x00000000004011b4\n"},
  };
  for (const Case& c : cases) {
    std::string text;
    {
      SafeWriter out(text);
      WriteFrameLines(out, frames, c.count, c.pc);
    }
    EXPECT_EQ(text, c.lines) << c.count << " frames, pc " << c.pc;
  }
}

TEST(ReportSections, ThreadsAreNamedInOrderAndOnlyTheFailingOneMarked) {
  std::promise<long> started;
  std::promise<void> stop;
  std::thread waiting([&] {
    pthread_setname_np(pthread_self(), "kt-waiting");
    started.set_value(gettid());
    stop.get_future().wait();
  });
  const long helper = started.get_future().get();
  std::string threads;
  // The helper may not be asleep at the first look.
  for (int tries = 0; tries < 200; ++tries) {
    threads = ThreadsSection(getpid(), getpid());
    if (threads.find("\"kt-waiting\" S (sleeping)") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop.set_value();
  waiting.join();

  EXPECT_EQ(threads.rfind("== Threads ==\n" + std::to_string(getpid()) + " \"app_tests\" R (running) "
                          "[failed: its trace is above]\n", 0), 0u) << threads;
  EXPECT_NE(threads.find("\n" + std::to_string(helper) + " \"kt-waiting\" S (sleeping)\n"), std::string::npos)
      << threads;
  EXPECT_EQ(std::count(threads.begin(), threads.end(), '['), 1) << threads;
  const std::string last = "(the other threads are not traced: stopping them safely is not possible here)\n";
  EXPECT_EQ(threads.substr(threads.size() - std::min(threads.size(), last.size())), last);

  // A process that has ended has no threads left.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_EQ(ThreadsSection(child, child), "== Threads ==\n(none left: the program has ended)\n");
}

TEST(ReportSections, SystemGivesKernelDistributionMemoryLocaleAndTheExtraLines) {
  const char* oldLang = std::getenv("LANG");
  const char* oldAll = std::getenv("LC_ALL");
  const std::string savedLang = oldLang != nullptr ? oldLang : "";
  const std::string savedAll = oldAll != nullptr ? oldAll : "";
  setenv("LANG", "xx_TEST.UTF-8", 1);
  unsetenv("LC_ALL");
  std::string text = SystemSection({"Qt: 6.4.2", "Screens: 1"});
  setenv("LC_ALL", "C", 1);
  const std::string withAll = SystemSection({});
  oldLang != nullptr ? setenv("LANG", savedLang.c_str(), 1) : unsetenv("LANG");
  oldAll != nullptr ? setenv("LC_ALL", savedAll.c_str(), 1) : unsetenv("LC_ALL");

  // Available memory changes from one look to the next.
  const std::regex available("Memory MemAvailable: [0-9]+ kB\n");
  ASSERT_TRUE(std::regex_search(text, available)) << text;
  text = std::regex_replace(text, available, "Memory MemAvailable: N kB\n");
  const std::string memTotal =
      CommandOutput("sed -n 's/^MemTotal: *\\(.*\\)$/Memory MemTotal: \\1/p' /proc/meminfo");
  const std::string locale = std::setlocale(LC_CTYPE, nullptr);
  EXPECT_EQ(text, "== System ==\nKernel: " + CommandOutput("uname -s -r -v -m") + "Distribution: " +
                      CommandOutput(". /etc/os-release && echo \"$PRETTY_NAME\"") + memTotal +
                      "Memory MemAvailable: N kB\nLocale: " + locale + ", LANG=xx_TEST.UTF-8\nQt: 6.4.2\nScreens: 1\n");
  EXPECT_NE(withAll.find("\nLocale: " + locale + ", LANG=xx_TEST.UTF-8, LC_ALL=C\n"), std::string::npos) << withAll;
}

// What the reporter reads back from a file of two reports, as the handler
// writes them. The command line holds a file name with a line break: only
// "== " and a title start a section.
TEST(SignalReportReading, TakesTheLastReportsNumbersWholeFramesAndModules) {
  const std::string older = "Kestrin Music Editor crash report\n== Program ==\nProcess id: 11\n";
  const std::string last =
      "Kestrin Music Editor crash report\n== Program ==\nKestrin Music Editor 1.0\n"
      "Command line: kestrin-music-editor a\n==b.nes\nProcess id: 4242\n"
      "== Failure ==\nSignal: SIGBUS (7)\nCode: BUS_ADRERR (2)\nAddress: 0x10\nThread: 4243\n"
      "== Stack frames (raw) ==\n#0 0x00000000004011a0\n#1 0x0000000000000000\n#2 0x4011a4\n"
      "#3 0x00007f00deadbeefff\n#4 0x00007f00deadbeef\n"
      "== Modules ==\n00400000-00402000 r-xp 00000000 08:01 7 /usr/bin/kestrin-music-editor\n"
      "7f00dead0000-7f00deae0000 r-xp 00000000 08:01 9 /lib/libc.so.6\n== Threads ==\nProcess id: 1\n";
  const SignalReport report = ReadLastReport(older + "-----\n" + last);
  EXPECT_EQ(report.text, last);
  EXPECT_EQ(report.pid, 4242);
  EXPECT_EQ(report.thread, 4243);
  EXPECT_EQ(report.signal, "SIGBUS (BUS_ADRERR)");
  // Only "#N 0x" with sixteen digits, and never address 0.
  EXPECT_EQ(report.frames, (std::vector<std::uintptr_t>{0x4011a0, 0x7f00deadbeef}));
  EXPECT_EQ(report.modules,
            "00400000-00402000 r-xp 00000000 08:01 7 /usr/bin/kestrin-music-editor\n"
            "7f00dead0000-7f00deae0000 r-xp 00000000 08:01 9 /lib/libc.so.6\n");

  // A last line without its end is left out.
  const SignalReport cut = ReadLastReport(last.substr(0, last.find("Thread: 4243") + 11));
  EXPECT_EQ(cut.thread, 0);
  EXPECT_EQ(cut.pid, 4242);
  EXPECT_TRUE(ReadLastReport("no report here\n").text.empty());
}

[[gnu::noinline]] void ThrowTheRecordedOne() { throw std::out_of_range("past the end"); }

TEST(ThrowTrace, RecordsWhereTheLastExceptionWasThrown) {
  try {
    ThrowTheRecordedOne();
  } catch (const std::out_of_range&) {
  }
  const ThrowRecord* record = LastThrowOnThisThread();
  ASSERT_NE(record, nullptr);
  ASSERT_NE(record->type, nullptr);
  EXPECT_EQ(DemangledName(*record->type), "std::out_of_range");
  const std::string trace = FormatTrace(record->trace);
  EXPECT_EQ(trace.rfind("#0 kestrin::crash::(anonymous namespace)::ThrowTheRecordedOne() ", 0), 0u) << trace;
  // File and line only where the build has debug information.
  if (KESTRIN_DEBUG_INFO) {
    EXPECT_NE(trace.find("crash_core_test.cpp:"), std::string::npos) << trace;
  }
}

[[gnu::noinline]] int NamedForTheReporter(int value) { return value * 3 + 1; }

TEST(FrameNames, MapsAnAddressThroughTheModulesToItsFunction) {
  const auto address = reinterpret_cast<std::uintptr_t>(&NamedForTheReporter);
  const std::vector<Mapping> mappings = ParseMappings(ReadWholeFile("/proc/self/maps"));
  ASSERT_FALSE(mappings.empty());
  const std::string named = NamedFrames({address}, mappings, {});
  EXPECT_EQ(named.rfind(KESTRIN_DEBUG_INFO ? "#0 kestrin::crash::(anonymous namespace)::NamedForTheReporter(int) at "
                                           : "#0 kestrin::crash::(anonymous namespace)::NamedForTheReporter(int) in ",
                        0),
            0u)
      << named;

  const std::vector<Mapping> one =
      ParseMappings("5581a000-5581c000 r-xp 00002000 08:01 42 /usr/bin/some tool\n7ffd0000-7ffd1000 rw-p "
                    "00000000 00:00 0 [stack]\n");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].start, 0x5581a000u);
  EXPECT_EQ(one[0].end, 0x5581c000u);
  EXPECT_EQ(one[0].offset, 0x2000u);
  EXPECT_EQ(one[0].path, "/usr/bin/some tool");
  // An address in no module keeps its number.
  EXPECT_EQ(NamedFrames({0x10}, one, {}), "#0 0x10\n");
  // The build-id the module list gives.
  const std::vector<Mapping> withId =
      ParseMappings("5581a000-5581c000 r-xp 00002000 08:01 42 /no/such/tool (build-id 0a1b2c)\n");
  ASSERT_EQ(withId.size(), 1u);
  EXPECT_EQ(withId[0].path, "/no/such/tool");
  EXPECT_EQ(withId[0].buildId, "0a1b2c");
  // A module whose file is gone keeps the address and names the module.
  EXPECT_EQ(NamedFrames({0x5581a010}, withId, {}), "#0 0x5581a010 in /no/such/tool (build-id 0a1b2c)\n");
}

// addr2line answers with the nearest symbol even where it knows no line; a
// fake one on the search path gives each kind of answer.
TEST(FrameNames, OnlyALineAddr2lineKnowsVouchesForItsName) {
  TempFolder temp;
  const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (temp.path.string() + ":" + oldPath).c_str(), 1);
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::vector<Mapping> mappings = ParseMappings(ReadWholeFile("/proc/self/maps"));
  const auto address = reinterpret_cast<std::uintptr_t>(&NamedForTheReporter);
  const std::string fallback = "#0 kestrin::crash::(anonymous namespace)::NamedForTheReporter(int) in " + self + "\n";
  const std::pair<const char*, std::string> answers[] = {
      {"/src/tune.cpp:12 (discriminator 3)", "#0 Fake::Named() at /src/tune.cpp:12\n"},
      {"/src/tune.cpp:12", "#0 Fake::Named() at /src/tune.cpp:12\n"},
      {"??:0", fallback},
      {"/src/tune.cpp:?", fallback},
      {"/src/tune.cpp:0", fallback}};
  const auto fake = temp.path / "addr2line";
  const std::ptrdiff_t openBefore = OpenDescriptors();
  for (const auto& [place, expected] : answers) {
    std::ofstream(fake) << "#!/bin/sh\nprintf '%s\\n' 'Fake::Named()' '" << place << "'\n";
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    EXPECT_EQ(NamedFrames({address}, mappings, {}), expected) << place;
  }
  EXPECT_EQ(OpenDescriptors(), openBefore) << "each lookup's pipe is closed again";
  // A signal that interrupts the wait for the answer loses nothing.
  struct sigaction interrupting {}, before {};
  interrupting.sa_handler = [](int) {};
  sigaction(SIGALRM, &interrupting, &before);
  std::ofstream(fake) << "#!/bin/sh\nsleep 1\nprintf '%s\\n' 'Fake::Named()' '/src/tune.cpp:12'\n";
  std::thread alarm([waiting = pthread_self()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pthread_kill(waiting, SIGALRM);
  });
  EXPECT_EQ(NamedFrames({address}, mappings, {}), "#0 Fake::Named() at /src/tune.cpp:12\n");
  alarm.join();
  sigaction(SIGALRM, &before, nullptr);
  // A program started with SIGCHLD ignored keeps it ignored, and then no
  // child's exit status can be had: the answer read counts all the same.
  std::ofstream(fake) << "#!/bin/sh\nprintf '%s\\n' 'Fake::Named()' '/src/tune.cpp:12'\n";
  struct sigaction ignoreChildren {}, children {};
  ignoreChildren.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignoreChildren, &children);
  EXPECT_EQ(NamedFrames({address}, mappings, {}), "#0 Fake::Named() at /src/tune.cpp:12\n");
  sigaction(SIGCHLD, &children, nullptr);
  setenv("PATH", oldPath.c_str(), 1);
}

TEST(FrameNames, StrippedModuleGivesOffsetAndBuildIdNeverABorrowedNameAndItsDebugFileGivesTheName) {
  // This program as the package ships it: the debug information split off
  // by build-id, the program stripped of all but its dynamic symbols.
  TempFolder temp;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string buildId = OwnBuildId();
  ASSERT_GT(buildId.size(), 2u);
  const auto stripped = temp.path / "stripped";
  const auto debugFolder = temp.path / "debug";
  const auto debugFile = debugFolder / ".build-id" / buildId.substr(0, 2) / (buildId.substr(2) + ".debug");
  std::filesystem::create_directories(debugFile.parent_path());
  ASSERT_EQ(std::system(("objcopy --only-keep-debug '" + self + "' '" + debugFile.string() + "' && objcopy " +
                         "--strip-unneeded '" + self + "' '" + stripped.string() + "'")
                            .c_str()),
            0);
  // The running program's mappings, as if the stripped copy were loaded.
  std::vector<Mapping> mappings = ParseMappings(ReadWholeFile("/proc/self/maps"));
  for (Mapping& mapping : mappings) {
    if (mapping.path != self) continue;
    mapping.path = stripped.string();
    mapping.buildId = buildId;
  }
  const auto address = reinterpret_cast<std::uintptr_t>(&NamedForTheReporter);

  const std::string bare = NamedFrames({address}, mappings, {});
  std::smatch found;
  ASSERT_TRUE(std::regex_match(bare, found,
                               std::regex("#0 " + stripped.string() + "\\+(0x[0-9a-f]+) \\(build-id " + buildId + "\\)\n")))
      << bare;
  // The offset is the one a maintainer gives addr2line with the debug file.
  EXPECT_NE(CommandOutput("addr2line -C -f -e '" + debugFile.string() + "' " + found[1].str())
                .find("NamedForTheReporter(int)"),
            std::string::npos);

  const std::string named = NamedFrames({address}, mappings, {debugFolder.string()});
  EXPECT_EQ(named.rfind(KESTRIN_DEBUG_INFO ? "#0 kestrin::crash::(anonymous namespace)::NamedForTheReporter(int) at "
                                           : "#0 kestrin::crash::(anonymous namespace)::NamedForTheReporter(int) in ",
                        0),
            0u)
      << named;
}

}  // namespace
}  // namespace kestrin::crash
