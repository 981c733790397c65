// What Save compares with the disk before it writes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "disk_record.h"
#include "model_test_support.h"
#include "open_descriptors.h"
#include "rom_file.h"
#include "standard_input_closed.h"

namespace kestrin {
namespace {

using namespace testing_support;

SaveRisk SaveRiskOf(const EditingState& state, const std::string& path) {
  return CheckBeforeSaving(state, path, SaveKind::Save).risk;
}

TEST(DiskRecord, OnlyAChangedRecordedFileCounts) {
  TempFolder folder;
  const std::string path = folder / "game.nes";
  WriteFile(path, PatternImage(1));
  EditingState state;
  errno = EINTR;  // left by some earlier call: says nothing of the reads to come
  ASSERT_TRUE(LoadRom(state, path));
  EXPECT_EQ(SaveRiskOf(state, path), SaveRisk::None);

  // Another program replaces the file by rename, with the same bytes:
  // a new inode is a change all the same.
  WriteFile(folder / "other.nes", PatternImage(1));
  std::filesystem::rename(folder / "other.nes", path);
  EXPECT_EQ(SaveRiskOf(state, path), SaveRisk::ChangedOnDisk);
  EXPECT_EQ(SaveRiskOf(state, folder / "copy.nes"), SaveRisk::None);  // nothing there to replace

  RecordSaved(state, path);
  EXPECT_EQ(SaveRiskOf(state, path), SaveRisk::None);

  // A file that is gone holds nothing to lose.
  std::filesystem::remove(path);
  EXPECT_EQ(SaveRiskOf(state, path), SaveRisk::None);
}

TEST(DiskRecord, FilesAreReadAndWrittenWithStandardInputClosed) {
  // Started without standard input, the editor gets descriptor 0 for the
  // first file or folder it opens.
  TempFolder folder;
  const std::string path = folder / "game.nes";
  WriteFile(path, PatternImage(1));
  const std::ptrdiff_t openAtStart = OpenDescriptors();
  EditingState state;
  ASSERT_TRUE(LoadRom(state, path));
  struct stat before {}, after {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  std::optional<FileFingerprint> print;
  DiskChange change = DiskChange::CannotCheck;
  bool saved = false;
  BackupResult backup;
  {
    const StandardInputClosed noInput;
    print = FingerprintOnDisk(path);
    if (print) change = CompareWithDisk(path, *print);
    saved = WriteImage(state, path);
    backup = WriteBackup(state, path);
  }
  ASSERT_TRUE(print);
  EXPECT_EQ(print->contentHash, ContentHash(PatternImage(1)));
  EXPECT_EQ(change, DiskChange::Unchanged);
  // Saved as always: a new file under the old name.
  EXPECT_TRUE(saved);
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(backup.outcome, BackupOutcome::Written);
  EXPECT_EQ(ReadFile(backup.path), PatternImage(1));
  EXPECT_EQ(OpenDescriptors(), openAtStart);  // each file and folder opened was closed again
}

TEST(DiskRecord, TheHashIsOfTheBytesAndTheRecordFollowsTheWrittenName) {
  EXPECT_EQ(ContentHash({}), 0xcbf29ce484222325ULL);  // 64-bit FNV-1a offset basis
  const std::uint8_t a[] = {'a'};
  EXPECT_EQ(ContentHash(a), 0xaf63dc4c8601ec8cULL);  // FNV-1a("a")

  TempFolder folder;
  WriteFile(folder / "plain", PatternImage(2));
  EditingState state;
  ASSERT_TRUE(LoadRom(state, folder / "plain"));
  ASSERT_TRUE(WriteImage(state, folder / "plain"));  // writes plain.nes
  RecordSaved(state, folder / "plain");
  EXPECT_TRUE(IsRecordedFile(state, folder / "plain.nes"));
  WriteFile(folder / "plain.nes", PatternImage(3));
  EXPECT_EQ(SaveRiskOf(state, folder / "plain"), SaveRisk::ChangedOnDisk);
}

// Another program rewrites the opened file and leaves it writable but not
// readable (0220). Whether or not it kept the size and time, Save cannot
// take the file for unchanged. Root reads anything, so the saver is an
// unprivileged user in a child process, which checks it really cannot read.
TEST(DiskRecord, AFileThatCannotBeReadIsNeverTakenForUnchanged) {
  constexpr int kCannotDrop = 77;
  constexpr int kCanStillRead = 78;
  struct Case {
    const char* change;
    bool keepTime;
    SaveRisk expected;
  };
  for (const Case& c : {Case{"rewritten with a new time", false, SaveRisk::ChangedOnDisk},
                        Case{"rewritten keeping size and time", true, SaveRisk::CannotCheck}}) {
    TempFolder folder;
    fs::permissions(folder.Path(), fs::perms::all);
    const std::string path = folder / "game.nes";
    const int status = InChild([&] {
      if (!DropPrivileges()) return kCannotDrop;
      WriteFile(path, PatternImage(1));
      EditingState state;
      if (!LoadRom(state, path)) return 2;
      struct stat before {};
      ::stat(path.c_str(), &before);
      const int fd = ::open(path.c_str(), O_WRONLY);
      const std::uint8_t changed = 0xA5;
      if (fd < 0 || ::pwrite(fd, &changed, 1, 0x100) != 1) return 3;
      ::close(fd);
      timespec times[2] = {before.st_atim, before.st_mtim};
      if (!c.keepTime) times[1].tv_sec -= 60;
      ::utimensat(AT_FDCWD, path.c_str(), times, 0);
      ::chmod(path.c_str(), 0220);
      if (::access(path.c_str(), R_OK) == 0) return kCanStillRead;
      const SaveRisk risk = SaveRiskOf(state, path);
      return risk == c.expected ? 0 : 10 + static_cast<int>(risk);
    });
    if (status == kCannotDrop) GTEST_SKIP() << "root cannot become the unprivileged user nobody";
    if (status == kCanStillRead) GTEST_SKIP() << "the saving user can still read a file of mode 0220";
    EXPECT_EQ(status, 0) << c.change;
  }
}

// A file whose every read fails (this process's own memory, whose first
// page is never mapped, answers EIO) has no hash, and cannot be checked.
TEST(DiskRecord, AFileWhoseReadsFailIsNeverTakenForUnchanged) {
  const std::string path = "/proc/self/mem";
  if (!fs::exists(path)) GTEST_SKIP() << "no /proc/self/mem";
  const std::optional<FileFingerprint> print = FingerprintOnDisk(path);
  ASSERT_TRUE(print.has_value());
  EXPECT_FALSE(print->contentHash.has_value());
  FileFingerprint hashed = *print;
  hashed.contentHash = 0;
  EXPECT_EQ(CompareWithDisk(path, hashed), DiskChange::CannotCheck);
}

std::uint64_t BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// Another program grows the opened file to 64 MiB: its size alone tells the
// change, and checking it must not read it whole.
TEST(DiskRecord, AFileGrownHugeIsNotReadWhole) {
  if (BytesReadSoFar() == 0) GTEST_SKIP() << "no /proc/self/io to count the bytes read";
  TempFolder folder;
  const std::string path = folder / "game.nes";
  WriteFile(path, PatternImage(1));
  EditingState state;
  ASSERT_TRUE(LoadRom(state, path));
  fs::resize_file(path, std::uintmax_t{64} << 20);

  const std::uint64_t before = BytesReadSoFar();
  const SaveCheck check = CheckBeforeSaving(state, path, SaveKind::Save);
  const std::uint64_t read = BytesReadSoFar() - before;
  EXPECT_EQ(check.risk, SaveRisk::ChangedOnDisk);
  // At most one image and one byte (393,233), plus the counter's own file.
  EXPECT_LE(read, 393233u + 4096u);
}

}  // namespace
}  // namespace kestrin
