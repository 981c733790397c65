// Loading the ROM file, naming the written files, and saving.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "model_test_support.h"
#include "rom_file.h"

namespace kestrin {
namespace {

using namespace testing_support;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr const char* kNoSuchFile = "Apparently, this file doesn't even exist!\n";
constexpr const char* kNotKestrinRom = "Doesn't look like Kestrin rom...\n";

// Loads `path` into a state already holding another image; returns what
// was printed and checks the failure kept everything.
std::string FailedLoadReport(const std::string& path) {
  EditingState state = StateWithImage(PatternImage(9));
  state.streamLength = {3, 1, 1, 1, 1};
  const std::vector<std::uint8_t> before = state.romImage;
  CaptureStdout();
  EXPECT_FALSE(LoadRom(state, path));
  std::string report = GetCapturedStdout();
  EXPECT_EQ(state.romImage, before);
  EXPECT_EQ(state.romSize, kRomSize);
  EXPECT_EQ(state.streamLength[0], 3);
  return report;
}

TEST(RomLoader, AcceptsExactlyTheRomSizeWhateverTheContent) {
  TempFolder folder;
  const auto image = PatternImage(3);
  WriteFile(folder / "game.nes", image);
  EditingState state;
  state.streamLength = {4, 2, 2, 2, 1};
  state.channels.emplace();
  CaptureStdout();
  ASSERT_TRUE(LoadRom(state, folder / "game.nes"));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(state.romImage, image);
  EXPECT_EQ(state.romSize, kRomSize);
  // Nothing of a part read from an earlier image survives a load.
  EXPECT_FALSE(state.channels.has_value());
  EXPECT_EQ(PartLength(state), 0);
}

TEST(RomLoader, RefusesOtherSizesAndKeepsThePreviousImage) {
  TempFolder folder;
  for (const std::size_t size : {std::size_t{0}, std::size_t{0x6000F}, std::size_t{0x60011}}) {
    WriteFile(folder / "odd.nes", PatternImage(1, size));
    EXPECT_EQ(FailedLoadReport(folder / "odd.nes"), kNotKestrinRom) << size;
  }
}

TEST(RomLoader, MissingFileIsReportedAsSuch) {
  TempFolder folder;
  EXPECT_EQ(FailedLoadReport(folder / "nothing-here.nes"), kNoSuchFile);
  EXPECT_EQ(FailedLoadReport(""), kNoSuchFile);
}

#if !defined(__SANITIZE_ADDRESS__)
// Loads `path` under an address-space limit just above what the process
// uses already, removes the file's folder and ends the process: 0 when the
// load failed with the loader's own report.
[[noreturn]] void LoadWithLittleMemory(const std::string& path) {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const auto used = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
  const rlimit cap{used + 0x40000, used + 0x40000};
  if (pages == 0 || ::setrlimit(RLIMIT_AS, &cap) != 0) ::_exit(2);
  EditingState state;
  std::string report;
  const bool failed = !LoadRom(state, path, &report) && report == "Error allocating memory for file.\n";
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ignored);
  ::_exit(failed ? 0 : 1);
}
#endif

// Memory running out, played by an address-space limit in a process of its
// own: a fresh one, as heap memory that earlier tests freed would be reused.
TEST(RomLoader, MemoryRunningOutIsReportedAsSuch) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer needs more address space than any limit leaves";
#else
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempFolder folder;
  WriteFile(folder / "game.nes", PatternImage(3));
  EXPECT_EXIT(LoadWithLittleMemory(folder / "game.nes"), ::testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
#endif
}

TEST(RomLoader, FollowsSymbolicLinksToARom) {
  TempFolder folder;
  const auto image = PatternImage(4);
  WriteFile(folder / "real.nes", image);
  fs::create_symlink("real.nes", folder.Path() / "link.nes");
  EditingState state;
  ASSERT_TRUE(LoadRom(state, folder / "link.nes"));
  EXPECT_EQ(state.romImage, image);
}

TEST(NesNaming, ScanFindsTheFirstOccurrenceByTheResumeRule) {
  EXPECT_EQ(FindNesExtension("game.nes"), 4u);
  EXPECT_EQ(FindNesExtension("C:\\old.nes\\game"), 6u);
  EXPECT_EQ(FindNesExtension("x.nes.nes"), 1u);
  EXPECT_EQ(FindNesExtension(".nesfoo"), 0u);
  // The "." that breaks an attempt never starts one of its own.
  EXPECT_EQ(FindNesExtension("a..nes"), std::nullopt);
  EXPECT_EQ(FindNesExtension("a.n.nes"), std::nullopt);
  EXPECT_EQ(FindNesExtension("a.nx.nes"), 4u);
  EXPECT_EQ(FindNesExtension("a.ne.nes"), std::nullopt);
  EXPECT_EQ(FindNesExtension("game.NES"), std::nullopt);
  EXPECT_EQ(FindNesExtension("game.ne"), std::nullopt);
  EXPECT_EQ(FindNesExtension("."), std::nullopt);
  EXPECT_EQ(FindNesExtension(""), std::nullopt);
}

TEST(NesNaming, ImageTargetAddsTheExtensionOnlyWhenMissing) {
  EXPECT_EQ(ImageTargetPath("C:\\roms\\game.nes"), "C:\\roms\\game.nes");
  EXPECT_EQ(ImageTargetPath("C:\\roms\\game"), "C:\\roms\\game.nes");
  EXPECT_EQ(ImageTargetPath("C:\\roms\\GAME.NES"), "C:\\roms\\GAME.NES.nes");
  EXPECT_EQ(ImageTargetPath("C:\\old.nes\\game"), "C:\\old.nes\\game");
  EXPECT_EQ(ImageTargetPath("a..nes"), "a..nes.nes");
}

TEST(NesNaming, BackupCutsBeforeTheFirstOccurrence) {
  EXPECT_EQ(BackupPath("C:\\roms\\game.nes"), "C:\\roms\\game_backup.nes");
  EXPECT_EQ(BackupPath("C:\\roms\\game.NES"), "C:\\roms\\game.NES_backup.nes");
  EXPECT_EQ(BackupPath("C:\\roms\\game.nes.bak"), "C:\\roms\\game_backup.nes");
  EXPECT_EQ(BackupPath("/roms.nes/game.nes"), "/roms_backup.nes");
  EXPECT_EQ(BackupPath("a..nes"), "a..nes_backup.nes");
  EXPECT_EQ(BackupPath("C:\\roms\\game.nes", 2), "C:\\roms\\game_backup_2.nes");
  EXPECT_EQ(BackupPath("plain", 13), "plain_backup_13.nes");
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(ImageWriter, SavedFileIsTheImageByteForByte) {
  TempFolder folder;
  const EditingState state = StateWithImage(PatternImage(5));
  CaptureStdout();
  ASSERT_TRUE(WriteImage(state, folder / "game"));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(ReadFile(folder / "game.nes"), state.romImage);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"game.nes"});

  // Saving again over it replaces the content whole.
  const EditingState other = StateWithImage(PatternImage(6));
  ASSERT_TRUE(WriteImage(other, folder / "game.nes"));
  EXPECT_EQ(ReadFile(folder / "game.nes"), other.romImage);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"game.nes"});
}

TEST(ImageWriter, WritesExactlyTheRomSizeAndNothingWithoutAnImage) {
  TempFolder folder;
  EditingState state = StateWithImage(PatternImage(5));
  state.romImage.push_back(0xEE);  // bytes past the ROM size are never written
  ASSERT_TRUE(WriteImage(state, folder / "a.nes"));
  EXPECT_EQ(ReadFile(folder / "a.nes").size(), static_cast<std::size_t>(kRomSize));

  EXPECT_FALSE(WriteImage(EditingState{}, folder / "empty.nes"));
  EXPECT_EQ(WriteBackup(EditingState{}, folder / "empty.nes").outcome, BackupOutcome::Failed);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"a.nes"});
}

TEST(ImageWriter, NewFileGetsTheUmaskModeAndAnExistingOneKeepsItsMode) {
  TempFolder folder;
  const EditingState state = StateWithImage(PatternImage(5));
  const mode_t mask = ::umask(027);
  ASSERT_TRUE(WriteImage(state, folder / "new.nes"));
  ::umask(mask);
  EXPECT_EQ(ModeOf(folder / "new.nes"), 0640u);

  WriteFile(folder / "kept.nes", PatternImage(1));
  ASSERT_EQ(::chmod((folder / "kept.nes").c_str(), 0604), 0);
  ASSERT_TRUE(WriteImage(state, folder / "kept.nes"));
  EXPECT_EQ(ModeOf(folder / "kept.nes"), 0604u);
  EXPECT_EQ(ReadFile(folder / "kept.nes"), state.romImage);
}

TEST(ImageWriter, WritesThroughSymbolicLinksAndKeepsThem) {
  TempFolder folder;
  fs::create_directory(folder.Path() / "roms");
  WriteFile(folder.Path() / "roms" / "real.nes", PatternImage(1));
  // A chain: relative link to a relative link to the file.
  fs::create_symlink("roms/real.nes", folder.Path() / "middle.nes");
  fs::create_symlink("middle.nes", folder.Path() / "game.nes");
  const EditingState state = StateWithImage(PatternImage(2));
  ASSERT_TRUE(WriteImage(state, folder / "game.nes"));
  EXPECT_TRUE(fs::is_symlink(folder.Path() / "game.nes"));
  EXPECT_TRUE(fs::is_symlink(folder.Path() / "middle.nes"));
  EXPECT_EQ(ReadFile(folder.Path() / "roms" / "real.nes"), state.romImage);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"game.nes", "middle.nes", "roms"}));

  // A dangling link: the file it names is created, the link stays a link.
  fs::create_symlink("roms/later.nes", folder.Path() / "dangling.nes");
  ASSERT_TRUE(WriteImage(state, folder / "dangling.nes"));
  EXPECT_TRUE(fs::is_symlink(folder.Path() / "dangling.nes"));
  EXPECT_EQ(ReadFile(folder.Path() / "roms" / "later.nes"), state.romImage);

  // A loop of links is refused.
  fs::create_symlink("loop-b.nes", folder.Path() / "loop-a.nes");
  fs::create_symlink("loop-a.nes", folder.Path() / "loop-b.nes");
  EXPECT_FALSE(WriteImage(state, folder / "loop-a.nes"));
}

TEST(ImageWriter, TargetsThatCannotBeReplacedAreRefusedSilently) {
  TempFolder folder;
  const auto old = PatternImage(1);
  WriteFile(folder / "locked.nes", old);
  ASSERT_EQ(::chmod((folder / "locked.nes").c_str(), 0444), 0);
  const EditingState state = StateWithImage(PatternImage(2));
  CaptureStdout();
  EXPECT_FALSE(WriteImage(state, folder / "locked.nes"));
  EXPECT_FALSE(WriteImage(state, folder / "no-such-folder/game.nes"));
  const std::string pipe = folder / "pipe.nes";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(WriteImage(state, pipe));  // never replaced, never opened
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(ReadFile(folder / "locked.nes"), old);
  EXPECT_EQ(ModeOf(folder / "locked.nes"), 0444u);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"locked.nes", "pipe.nes"}));
  EXPECT_TRUE(fs::is_fifo(pipe));
}

// The disk filling up is played by a file size limit in a child process.
TEST(ImageWriter, ShortWriteIsReportedAndLeavesTheOldFileAlone) {
  TempFolder folder;
  const auto old = PatternImage(1);
  WriteFile(folder / "game.nes", old);
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit cap{0x10000, 0x10000};
    ::setrlimit(RLIMIT_FSIZE, &cap);
    const EditingState state = StateWithImage(PatternImage(2));
    CaptureStdout();
    const bool written = WriteImage(state, folder / "game.nes");
    const bool reported = GetCapturedStdout() == "Error while writing file!\n";
    ::_exit(!written && reported ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(folder / "game.nes"), old);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"game.nes"});
}

TEST(BackupWriter, WritesTheImageUnderTheBackupName) {
  TempFolder folder;
  const EditingState state = StateWithImage(PatternImage(7));
  WriteFile(folder / "game.nes", state.romImage);
  const BackupResult first = WriteBackup(state, folder / "game.nes");
  EXPECT_EQ(first.outcome, BackupOutcome::Written);
  EXPECT_EQ(first.path, folder / "game_backup.nes");
  EXPECT_EQ(ReadFile(folder / "game_backup.nes"), state.romImage);
  EXPECT_EQ(WriteBackup(state, folder / "plain").outcome, BackupOutcome::Written);
  EXPECT_EQ(ReadFile(folder / "plain_backup.nes"), state.romImage);
}

// A backup never replaces a file: the folder of the opened ROM may hold
// anything under the backup name.
TEST(BackupWriter, NeverReplacesAnExistingFile) {
  TempFolder folder;
  fs::create_directory(folder.Path() / "roms.nes.d");
  const std::string opened = folder / "roms.nes.d/game.nes";
  const auto unrelated = PatternImage(40);
  WriteFile(folder / "roms_backup.nes", unrelated);  // named by the first ".nes" of the path

  const EditingState pristine = StateWithImage(PatternImage(1));
  const BackupResult second = WriteBackup(pristine, opened);
  EXPECT_EQ(second.outcome, BackupOutcome::Written);
  EXPECT_EQ(second.path, folder / "roms_backup_2.nes");
  EXPECT_EQ(ReadFile(folder / "roms_backup.nes"), unrelated);
  EXPECT_EQ(ReadFile(folder / "roms_backup_2.nes"), pristine.romImage);

  // The same ROM opened again after editing: the clean copy stays, the
  // edited one goes to the next free name.
  const EditingState edited = StateWithImage(PatternImage(2));
  const BackupResult third = WriteBackup(edited, opened);
  EXPECT_EQ(third.outcome, BackupOutcome::Written);
  EXPECT_EQ(third.path, folder / "roms_backup_3.nes");
  EXPECT_EQ(ReadFile(folder / "roms_backup_2.nes"), pristine.romImage);
  EXPECT_EQ(ReadFile(folder / "roms_backup_3.nes"), edited.romImage);

  // A folder or a link under a backup name is passed over too.
  fs::create_directory(folder.Path() / "roms_backup_4.nes");
  fs::create_symlink("roms_backup_2.nes", folder.Path() / "roms_backup_5.nes");
  const EditingState later = StateWithImage(PatternImage(3));
  EXPECT_EQ(WriteBackup(later, opened).path, folder / "roms_backup_6.nes");
  EXPECT_EQ(ReadFile(folder / "roms_backup_6.nes"), later.romImage);
  EXPECT_EQ(ReadFile(folder / "roms_backup_2.nes"), pristine.romImage);
}

TEST(BackupWriter, AnIdenticalBackupIsKeptAndNothingWritten) {
  TempFolder folder;
  const EditingState state = StateWithImage(PatternImage(7));
  WriteFile(folder / "game_backup.nes", state.romImage);
  struct stat before {};
  ASSERT_EQ(::stat((folder / "game_backup.nes").c_str(), &before), 0);

  const BackupResult result = WriteBackup(state, folder / "game.nes");
  EXPECT_EQ(result.outcome, BackupOutcome::AlreadyThere);
  EXPECT_EQ(result.path, folder / "game_backup.nes");
  struct stat after {};
  ASSERT_EQ(::stat((folder / "game_backup.nes").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"game_backup.nes"});

  // A later backup that matches the image ends the search there as well.
  const EditingState edited = StateWithImage(PatternImage(8));
  WriteFile(folder / "game_backup_2.nes", edited.romImage);
  EXPECT_EQ(WriteBackup(edited, folder / "game.nes").outcome, BackupOutcome::AlreadyThere);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"game_backup.nes", "game_backup_2.nes"}));
}

}  // namespace
}  // namespace kestrin
