// The Qt-free parts of crash reporting: where the report goes, how it is
// appended, the handler's own number and time formatting, the throw trace
// and the naming of raw frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

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
  EXPECT_TRUE(AppendReport(path, "first\n").saved);
  EXPECT_TRUE(AppendReport(path, "second\n").saved);
  EXPECT_EQ(ReadWholeFile(path),
            "first\n------------------------------------------------------------------------\nsecond\n");
  // A file in the folder's place: nothing is saved, and the reason is given.
  const AppendResult blocked = AppendReport(path / "below-a-file.txt", "third\n");
  EXPECT_FALSE(blocked.saved);
  EXPECT_FALSE(blocked.error.empty());
  std::filesystem::remove_all(folder);
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

TEST(ReportSections, ModulesAreTheExecutableFileMappings) {
  std::string text;
  {
    SafeWriter out(text);
    WriteModules(out, "/proc/self/maps");
  }
  EXPECT_EQ(text.rfind("== Modules ==\n", 0), 0u);
  EXPECT_NE(text.find(" r-xp "), std::string::npos);
  EXPECT_NE(text.find(std::filesystem::read_symlink("/proc/self/exe").string()), std::string::npos);
  EXPECT_EQ(text.find(" rw-p "), std::string::npos);
  EXPECT_EQ(text.find("[stack]"), std::string::npos);
}

TEST(ReportSections, ThreadsAndProcessesAreNamed) {
  const std::string threads = ThreadsSection(getpid(), getpid());
  EXPECT_NE(threads.find(std::to_string(getpid()) + " \"app_tests\" R (running) [failed"), std::string::npos)
      << threads;
  const std::vector<std::string> names = UserProcessNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "app_tests"), names.end());
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
  EXPECT_EQ(trace.rfind("#0 kestrin::crash::(anonymous namespace)::ThrowTheRecordedOne() at ", 0), 0u) << trace;
  EXPECT_NE(trace.find("crash_core_test.cpp:"), std::string::npos);
}

[[gnu::noinline]] int NamedForTheReporter(int value) { return value * 3 + 1; }

TEST(FrameNames, MapsAnAddressThroughTheModulesToItsFunction) {
  const auto address = reinterpret_cast<std::uintptr_t>(&NamedForTheReporter);
  const std::vector<Mapping> mappings = ParseMappings(ReadWholeFile("/proc/self/maps"));
  ASSERT_FALSE(mappings.empty());
  const std::string named = NamedFrames({address}, mappings);
  EXPECT_EQ(named.rfind("#0 kestrin::crash::(anonymous namespace)::NamedForTheReporter(int) at ", 0), 0u)
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
  EXPECT_EQ(NamedFrames({0x10}, one), "#0 0x10\n");
}

}  // namespace
}  // namespace kestrin::crash
