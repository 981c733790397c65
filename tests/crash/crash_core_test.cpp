// The Qt-free parts of crash reporting: where the report goes, how it is
// appended and who may read it, the handler's own number and time
// formatting, the throw trace and the naming of raw frames.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <stdexcept>
#include <vector>

#include "frame_names.h"
#include "report_file.h"
#include "report_sections.h"
#include "signal_safe_writer.h"
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

// How many files this process holds open.
std::ptrdiff_t OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
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
  EXPECT_EQ(StateFolderFor(nullptr, nullptr), "");
}

TEST(ReportFile, AppendsReportsSeparatedByALineAndCreatesTheFolder) {
  const auto folder = std::filesystem::temp_directory_path() / "kestrin-append-test";
  std::filesystem::remove_all(folder);
  const auto path = folder / "deeper" / "bugreport.txt";
  const std::ptrdiff_t openBefore = OpenDescriptors();
  EXPECT_TRUE(AppendReport(path, "first\n").saved);
  EXPECT_TRUE(AppendReport(path, "second\n").saved);
  EXPECT_EQ(OpenDescriptors(), openBefore) << "the report and its folder are closed again";
  EXPECT_EQ(ReadWholeFile(path),
            "first\n------------------------------------------------------------------------\nsecond\n");
  // A file in the folder's place: nothing is saved, and the reason is given.
  const AppendResult blocked = AppendReport(path / "below-a-file.txt", "third\n");
  EXPECT_FALSE(blocked.saved);
  EXPECT_FALSE(blocked.error.empty());
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
  // Left wider by an older version: narrowed at the next report.
  chmod(folder.c_str(), 0755);
  chmod((folder / "bugreport.txt").c_str(), 0644);
  EXPECT_TRUE(AppendReport(folder / "bugreport.txt", "second\n").saved);
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(folder / "bugreport.txt"), 0600u);
  // A link in the report's place is not followed: its target stays as it was.
  std::ofstream(temp.path / "elsewhere.txt") << "not a report\n";
  std::filesystem::create_symlink(temp.path / "elsewhere.txt", folder / "linked.txt");
  EXPECT_FALSE(AppendReport(folder / "linked.txt", "third\n").saved);
  EXPECT_EQ(ReadWholeFile(temp.path / "elsewhere.txt"), "not a report\n");
}

TEST(ReportFile, KeepsTheTenNewestReportsAndScreenshots) {
  TempFolder temp;
  const auto path = temp.path / "bugreport.txt";
  std::string kept;
  for (int n = 1; n <= 12; ++n) {
    const std::string report = "Kestrin Music Editor crash report\nnumber " + std::to_string(n) + "\n";
    ASSERT_TRUE(AppendReport(path, report).saved);
    if (n >= 3) kept += (n > 3 ? "------------------------------------------------------------------------\n" : "") + report;
  }
  EXPECT_EQ(ReadWholeFile(path), kept);
  EXPECT_EQ(ModeOf(path), 0600u);

  for (int n = 10; n < 22; ++n) std::ofstream(temp.path / ("bugreport-20261208-0700" + std::to_string(n) + "-000.png"));
  std::ofstream(temp.path / "holiday.png");
  KeepNewestScreenshots(temp.path);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected{"bugreport.txt", "holiday.png"};
  for (int n = 12; n < 22; ++n) expected.push_back("bugreport-20261208-0700" + std::to_string(n) + "-000.png");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
}

TEST(SafeWriter, WritesNumbersAndUtcTimesWithoutTheCLibrary) {
  std::string text;
  {
    SafeWriter out(text);
    out.Decimal(0).Text(" ").Decimal(-42).Text(" ").Decimal(9223372036854775807LL).Text(" ");
    out.Hex(0).Text(" ").Hex(0xBEEF, 8).Text(" ");
    WriteUtcTime(out, 0);
    out.Text(" / ");
    WriteUtcTime(out, 951782399);  // the last second before 29 February 2000
    out.Text(" / ");
    WriteUtcTime(out, 1796715005);
  }
  EXPECT_EQ(text,
            "0 -42 9223372036854775807 0x0 0x0000beef 1970-01-01 00:00:00 UTC / "
            "2000-02-28 23:59:59 UTC / 2026-12-08 07:30:05 UTC");
}

TEST(ReportSections, ModulesAreTheExecutableFileMappingsWithTheirBuildIds) {
  std::string text;
  {
    SafeWriter out(text);
    WriteModules(out);
  }
  EXPECT_EQ(text.rfind("== Modules ==\n", 0), 0u);
  EXPECT_NE(text.find(" r-xp "), std::string::npos);
  EXPECT_EQ(text.find(" rw-p "), std::string::npos);
  EXPECT_EQ(text.find("[stack]"), std::string::npos);
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string buildId = OwnBuildId();
  ASSERT_FALSE(buildId.empty());
  EXPECT_NE(text.find(" " + self + " (build-id " + buildId + ")\n"), std::string::npos) << text;
}

TEST(ReportSections, ThreadsAreNamedAndTheFailingOneMarked) {
  const std::string threads = ThreadsSection(getpid(), getpid());
  EXPECT_NE(threads.find(std::to_string(getpid()) + " \"app_tests\" R (running) [failed"), std::string::npos)
      << threads;
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
      ParseMappings("5581a000-5581c000 r-xp 00002000 08:01 42 /usr/bin/tool (build-id 0a1b2c)\n");
  ASSERT_EQ(withId.size(), 1u);
  EXPECT_EQ(withId[0].path, "/usr/bin/tool");
  EXPECT_EQ(withId[0].buildId, "0a1b2c");
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
