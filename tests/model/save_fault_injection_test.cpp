// Saving under injected faults: a write cut short by a file-size limit, a
// read-only target, a read-only folder, a target that is a folder, and a
// process killed at random moments while it saves, writes a backup or
// writes in place, also where the file system takes no nameless files. The
// target must always hold either its old bytes or the whole new image, or,
// written in place, lie beside a recovery file holding the old bytes; a
// failure the program saw must leave no temporary file behind. Saving must
// also keep what makes the file itself (its other hard links, its owner,
// its extended attributes), leave every file alone that it did not make,
// and share a folder with another saver.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "atomic_file_write.h"
#include "atomic_file_write_seams.h"
#include "editing_state.h"
#include "model_test_support.h"
#include "music_bank.h"
#include "rom_file.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;
namespace seams = file_write_seams;
using testing_support::DropPrivileges;
using testing_support::InChild;

std::vector<std::uint8_t> Pattern(std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kRomSize));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 9));
  }
  return bytes;
}

EditingState StateHolding(std::vector<std::uint8_t> image) {
  EditingState state;
  state.romImage = std::move(image);
  state.romSize = kRomSize;
  state.fileLoaded = true;
  return state;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().filename().string());
  return names;
}

ino_t InodeOf(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

// Sets a file's modification time this far back, as if that much time had
// passed since it was written.
void AgeBy(const fs::path& path, std::chrono::seconds age) {
  timespec times[2] = {{0, UTIME_OMIT}, {}};
  ::clock_gettime(CLOCK_REALTIME, &times[1]);
  times[1].tv_sec -= age.count();
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

bool IsTemporary(const std::string& name) { return name.rfind(".kme-", 0) == 0 && name.size() == 13; }

// Plays a minute passing after a kill: the next save's clean-up may take
// what the killed saver left.
void AgeTemporaries(const fs::path& folder) {
  for (const std::string& name : Entries(folder)) {
    if (IsTemporary(name)) AgeBy(folder / name, std::chrono::minutes(2));
  }
}

// The temporary files in `folder`: how many hold bytes, and how many are
// empty (a kill in the moment between creating a named temporary file and
// giving it its size leaves one, which the clean-up never takes).
std::pair<int, int> Temporaries(const fs::path& folder) {
  int full = 0;
  int empty = 0;
  for (const std::string& name : Entries(folder)) {
    if (!IsTemporary(name)) continue;
    (fs::file_size(folder / name) == 0 ? empty : full) += 1;
  }
  return {full, empty};
}

// How the writer stages files: nameless, or under short names where the
// file system refuses nameless files: with hard links but no renames that
// refuse to replace (NFS), or without hard links (vfat).
enum class Staging { Nameless, NamedOnly, NamedWithoutLinks };
const char* NameOf(Staging staging) {
  switch (staging) {
    case Staging::Nameless:
      return "nameless";
    case Staging::NamedOnly:
      return "named only";
    case Staging::NamedWithoutLinks:
      return "named without links";
  }
  return "";
}
void Use(Staging staging) {
  seams::RefuseNamelessFiles(staging != Staging::Nameless);
  seams::RefuseHardLinks(staging == Staging::NamedWithoutLinks);
  seams::RefuseNoReplaceRenames(staging == Staging::NamedOnly);
}

constexpr int kCannotDrop = 77;
constexpr int kCheckFailed = 78;

class SaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = fs::temp_directory_path() / ("kestrin-save-faults-" + std::to_string(getpid()) + "-" + name);
    // The state folder takes recovery files where the target's folder takes
    // none; here it lies beside the test's folder.
    state_ = fs::temp_directory_path() / ("kestrin-save-faults-state-" + std::to_string(getpid()) + "-" + name);
    for (const fs::path& folder : {folder_, state_}) {
      fs::remove_all(folder);
      fs::create_directories(folder);
      fs::permissions(folder, fs::perms::all);  // the unprivileged child must reach it
    }
    const char* previous = std::getenv("XDG_STATE_HOME");
    previousStateHome_ = previous != nullptr ? std::optional<std::string>(previous) : std::nullopt;
    ::setenv("XDG_STATE_HOME", state_.c_str(), 1);
    target_ = folder_ / "game.nes";
    WriteAll(target_, old_);
    fs::permissions(target_, fs::perms::all);
  }
  void TearDown() override {
    seams::Reset();
    if (previousStateHome_) {
      ::setenv("XDG_STATE_HOME", previousStateHome_->c_str(), 1);
    } else {
      ::unsetenv("XDG_STATE_HOME");
    }
    for (const fs::path& folder : {folder_, state_}) {
      std::error_code ignored;
      fs::permissions(folder, fs::perms::all, ignored);
      fs::remove_all(folder, ignored);
    }
  }

  // Recovery files left in the state folder.
  std::set<std::string> StateEntries() const { return Entries(state_ / "kestrin-music-editor"); }

  fs::path folder_;
  fs::path state_;
  fs::path target_;
  std::optional<std::string> previousStateHome_;
  const std::vector<std::uint8_t> old_ = Pattern(1);
  const std::vector<std::uint8_t> new_ = Pattern(2);
};

TEST_F(SaveFaults, WriteCutShortByFileSizeLimitLeavesOldFileAndNoTemporary) {
  for (const Staging staging : {Staging::Nameless, Staging::NamedOnly}) {
    Use(staging);
    for (const rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{200000}, rlim_t{0x6000F}}) {
      const int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{limit, limit};
        setrlimit(RLIMIT_FSIZE, &cap);
        return WriteImage(StateHolding(new_), target_.string()) ? 0 : 1;
      });
      EXPECT_EQ(status, 1) << NameOf(staging) << ", limit " << limit;
      EXPECT_EQ(ReadAll(target_), old_) << NameOf(staging) << ", limit " << limit;
      EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"}) << NameOf(staging) << ", limit " << limit;
      EXPECT_TRUE(StateEntries().empty());
    }
  }
}

// Where only short names work, the disk can fill up after the name was
// taken and the file given its size: the name goes again.
TEST_F(SaveFaults, AWriteThatFailsUnderAShortNameLeavesNoTemporary) {
  Use(Staging::NamedOnly);
  const std::pair<const char*, std::function<bool()>> writes[] = {
      {"save", [&] { return WriteImage(StateHolding(new_), target_.string()); }},
      {"backup", [&] { return WriteBackup(StateHolding(new_), target_.string()).outcome == BackupOutcome::Written; }},
  };
  for (const auto& [what, write] : writes) {
    const int status = InChild([&] {
      std::signal(SIGXFSZ, SIG_IGN);
      seams::RunAtEachStep([](seams::WriteStep step) {
        if (step != seams::WriteStep::StagedFileCreated) return;
        const rlimit cap{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &cap);
      });
      return write() ? 0 : 1;
    });
    EXPECT_EQ(status, 1) << what;
    EXPECT_EQ(ReadAll(target_), old_) << what;
    EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"}) << what;
  }
}

TEST_F(SaveFaults, ReadOnlyTargetIsRefusedAndKept) {
  fs::permissions(target_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(WriteImage(StateHolding(new_), target_.string()));
  EXPECT_EQ(ReadAll(target_), old_);
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
}

// Runs `save` in a child as a user who may write the target but not its
// folder (root becomes nobody, since root writes any folder); the child
// first checks that this holds, whoever runs the test.
template <typename Save>
int SaveWithoutFolderRights(const fs::path& folder, Save save) {
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const int status = InChild([&] {
    if (!DropPrivileges()) return kCannotDrop;
    if (::access(folder.c_str(), W_OK) == 0) return kCheckFailed;
    return save();
  });
  fs::permissions(folder, fs::perms::all);
  return status;
}

#define SKIP_UNLESS_CHILD_COULD_TEST(status)                                   \
  do {                                                                         \
    if ((status) == kCannotDrop) {                                             \
      GTEST_SKIP() << "root cannot become the unprivileged user nobody";       \
    }                                                                          \
    if ((status) == kCheckFailed) {                                            \
      GTEST_SKIP() << "the saving user can still write the folder";            \
    }                                                                          \
  } while (false)

TEST_F(SaveFaults, ReadOnlyFolderWritesIntoWritableTargetOrRefusesNewFile) {
  // With no place for a recovery file either (the state folder lies in the
  // same read-only folder), the target is not written.
  const int unguarded = SaveWithoutFolderRights(folder_, [&] {
    ::setenv("XDG_STATE_HOME", folder_.c_str(), 1);
    return WriteImage(StateHolding(new_), target_.string()) ? 0 : 1;
  });
  SKIP_UNLESS_CHILD_COULD_TEST(unguarded);
  EXPECT_EQ(unguarded, 1);
  EXPECT_EQ(ReadAll(target_), old_);

  const ino_t before = InodeOf(target_);
  const int replaced =
      SaveWithoutFolderRights(folder_, [&] { return WriteImage(StateHolding(new_), target_.string()) ? 0 : 1; });
  SKIP_UNLESS_CHILD_COULD_TEST(replaced);
  EXPECT_EQ(replaced, 0);
  EXPECT_EQ(ReadAll(target_), new_);
  EXPECT_EQ(InodeOf(target_), before);  // written in place
  EXPECT_TRUE(StateEntries().empty());  // its recovery file is gone again

  const int created = SaveWithoutFolderRights(
      folder_, [&] { return WriteImage(StateHolding(new_), (folder_ / "other.nes").string()) ? 0 : 1; });
  EXPECT_EQ(created, 1);
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
}

TEST_F(SaveFaults, TargetThatIsAFolderIsRefusedAndKept) {
  const fs::path inner = folder_ / "songs.nes";
  fs::create_directory(inner);
  WriteAll(inner / "keep.txt", {1, 2, 3});
  EXPECT_FALSE(WriteImage(StateHolding(new_), inner.string()));
  EXPECT_TRUE(fs::is_directory(inner));
  EXPECT_EQ(ReadAll(inner / "keep.txt"), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "songs.nes"}));

  // A target that became a folder just before the rename: the staged file goes too.
  for (const Staging staging : {Staging::Nameless, Staging::NamedOnly}) {
    Use(staging);
    WriteAll(target_, old_);
    seams::RunAtEachStep([&](seams::WriteStep step) {
      if (step != seams::WriteStep::StagedFileNamed || fs::is_directory(target_)) return;
      fs::remove(target_);
      fs::create_directory(target_);
      WriteAll(target_ / "keep.txt", {4, 5, 6});
    });
    EXPECT_FALSE(WriteImage(StateHolding(new_), target_.string())) << NameOf(staging);
    EXPECT_EQ(ReadAll(target_ / "keep.txt"), (std::vector<std::uint8_t>{4, 5, 6})) << NameOf(staging);
    EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "songs.nes"})) << NameOf(staging);
    fs::remove_all(target_);
  }
}

struct KillFigures {
  int killed = 0;        // kills that landed while the child was still saving
  int mixed = 0;         // targets holding neither image whole
  int mixedUnrecoverable = 0;  // of those, without a recovery file holding the old image
  int recoveryLeft = 0;  // whole targets with a recovery file beside them
  int leftTemporary = 0;  // kills after which a temporary file stood
};

// When the kills aim at a step of the save: the step, and how long after
// it the kill comes at most.
struct KillAim {
  seams::WriteStep step;
  std::chrono::microseconds spread;
};

// Waits for `pid` to end, killing it after a while; returns its status.
int Reap(pid_t pid, std::chrono::milliseconds patience) {
  const auto until = std::chrono::steady_clock::now() + patience;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > until) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return status;
}

// A child saves (`save(round)`) over and over; the parent kills it at a
// random moment, then `check` looks at what it left. A kill aimed at a step
// comes from the child's own timer, started when it reaches that step: an
// uncaught SIGALRM ends the process at once, as SIGKILL does, without the
// parent's waking up adding to the delay. Unaimed kills come within
// `unaimedSpread` of the start.
template <typename Save, typename Check>
KillFigures KillWhileSaving(int runs, std::uint32_t seed, const fs::path& folder, Save save, Check check,
                            std::optional<KillAim> aim = std::nullopt,
                            std::chrono::microseconds unaimedSpread = std::chrono::microseconds(6000)) {
  std::mt19937 random(seed);
  const auto spread = aim ? aim->spread : unaimedSpread;
  std::uniform_int_distribution<std::int64_t> delayMicros(1, spread.count());
  KillFigures figures;
  for (int run = 0; run < runs; ++run) {
    const int before = Temporaries(folder).first;
    const std::int64_t delay = delayMicros(random);
    const pid_t pid = fork();
    if (pid == 0) {
      if (aim) {
        seams::RunAtEachStep([&, armed = false](seams::WriteStep step) mutable {
          const itimerval timer{{0, 0}, {0, static_cast<suseconds_t>(delay)}};
          if (step == aim->step && !armed) armed = ::setitimer(ITIMER_REAL, &timer, nullptr) == 0;
        });
      }
      for (int round = 0;; ++round) save(round);
    }
    if (!aim) {
      std::this_thread::sleep_for(std::chrono::microseconds(delay));
      ::kill(pid, SIGKILL);
    }
    const int status = Reap(pid, std::chrono::milliseconds(5000));
    if (WIFSIGNALED(status)) ++figures.killed;
    if (Temporaries(folder).first > before) ++figures.leftTemporary;
    check(figures);
    AgeTemporaries(folder);
  }
  return figures;
}

// A kill can leave a temporary file only between naming it and the rename
// (and, where nameless files are refused, while it is written); the next
// save a minute later removes it, so at most the last kill's one remains.
// Where nameless files are refused, a kill during the creation of the
// temporary file can also leave it empty, and the clean-up leaves such a
// file alone; those are counted apart.
TEST_F(SaveFaults, KillsWhileSavingNeverLeaveAPartialFile) {
  constexpr int kKills = 200;
  for (const Staging staging : {Staging::Nameless, Staging::NamedOnly}) {
    Use(staging);
    const EditingState first = StateHolding(new_);
    const EditingState second = StateHolding(old_);
    const KillFigures figures = KillWhileSaving(
        kKills, 20261208, folder_, [&](int round) { WriteImage(round % 2 == 0 ? first : second, target_.string()); },
        [&](KillFigures& counts) {
          const auto now = ReadAll(target_);
          if (now != old_ && now != new_) ++counts.mixed;
          WriteAll(target_, old_);  // so that the next run's first save changes every byte
        });
    const auto [leftovers, empty] = Temporaries(folder_);
    std::printf(
        "[ figures  ] %s: %d kills while saving, %d partial targets, %d kills left a temporary file, %d left at "
        "the end, %d empty\n",
        NameOf(staging), figures.killed, figures.mixed, figures.leftTemporary, leftovers, empty);
    EXPECT_EQ(figures.killed, kKills) << NameOf(staging);
    EXPECT_EQ(figures.mixed, 0) << NameOf(staging);
    EXPECT_LE(leftovers, 1) << NameOf(staging);
    EXPECT_TRUE(WriteImage(StateHolding(new_), target_.string()));
    EXPECT_EQ(ReadAll(target_), new_);
    EXPECT_EQ(Temporaries(folder_).first, 0) << NameOf(staging);
    EXPECT_EQ(static_cast<int>(Entries(folder_).size()), 1 + empty) << NameOf(staging);
  }
}

// A hard-linked target is written in place. A kill there may leave a mix of
// old and new bytes, but only beside a recovery file holding the old image
// whole. The test plays the user who then puts things right and removes
// the recovery file.
TEST_F(SaveFaults, KillsWhileWritingInPlaceLeaveARecoveryFileBesideAMix) {
  constexpr int kKillsEach = 100;
  const fs::path other = folder_ / "other-name.nes";
  fs::create_hard_link(target_, other);
  const fs::path recovery = folder_ / "game.nes.kme-recovery";
  const auto check = [&](KillFigures& counts) {
    const auto now = ReadAll(target_);
    const bool whole = now == old_ || now == new_;
    const auto kept = fs::exists(recovery) ? ReadAll(recovery) : std::vector<std::uint8_t>{};
    const bool keptWhole = kept == old_ || kept == new_;
    if (!whole) {
      ++counts.mixed;
      // The mix is the kept image's bytes overwritten from the start.
      bool fromKept = keptWhole && now.size() == kept.size();
      const auto& written = kept == old_ ? new_ : old_;
      for (std::size_t i = 0; fromKept && i < now.size(); ++i) fromKept = now[i] == kept[i] || now[i] == written[i];
      if (!fromKept) ++counts.mixedUnrecoverable;
    } else if (fs::exists(recovery)) {
      ++counts.recoveryLeft;
      if (!keptWhole) ++counts.mixedUnrecoverable;
    }
    EXPECT_EQ(RecoveryFilesFor(target_.string()).size(), fs::exists(recovery) ? 1u : 0u);
    WriteAll(target_, old_);  // so that the next run's first save changes every byte
    fs::remove(recovery);
  };
  for (const Staging staging : {Staging::Nameless, Staging::NamedOnly}) {
    Use(staging);
    const EditingState first = StateHolding(new_);
    const EditingState second = StateHolding(old_);
    const auto save = [&](int round) { WriteImage(round % 2 == 0 ? first : second, target_.string()); };
    // Kills at any moment, and kills within 0.3 ms after a save's recovery
    // file is on disk, where the write in place begins.
    const KillFigures anywhere = KillWhileSaving(kKillsEach, 20261209, folder_, save, check);
    const KillFigures aimed = KillWhileSaving(kKillsEach, 20261210, folder_, save, check,
                                              KillAim{seams::WriteStep::InPlaceStarting, std::chrono::microseconds(300)});
    const auto [leftovers, empty] = Temporaries(folder_);
    std::printf(
        "[ figures  ] in place, %s: %d kills (%d aimed at the write), %d mixed targets, each beside a whole "
        "recovery file but %d, %d whole targets with a recovery file left, %d temporary files left, %d empty\n",
        NameOf(staging), anywhere.killed + aimed.killed, aimed.killed, anywhere.mixed + aimed.mixed,
        anywhere.mixedUnrecoverable + aimed.mixedUnrecoverable, anywhere.recoveryLeft + aimed.recoveryLeft,
        leftovers, empty);
    EXPECT_EQ(anywhere.killed + aimed.killed, 2 * kKillsEach) << NameOf(staging);
    EXPECT_GT(aimed.mixed, 0) << NameOf(staging);
    EXPECT_EQ(anywhere.mixedUnrecoverable + aimed.mixedUnrecoverable, 0) << NameOf(staging);
    EXPECT_LE(leftovers, 1) << NameOf(staging);
    EXPECT_EQ(fs::hard_link_count(target_), 2u);
    EXPECT_TRUE(WriteImage(StateHolding(new_), target_.string()));
    EXPECT_EQ(ReadAll(other), new_);
  }
}

// Backups never replace a file and appear whole or not at all: a kill
// while one is written leaves no partial file under a backup name.
TEST_F(SaveFaults, KillsWhileWritingBackupsNeverLeaveAPartialBackup) {
  constexpr int kKills = 150;
  for (const Staging staging : {Staging::Nameless, Staging::NamedOnly, Staging::NamedWithoutLinks}) {
    Use(staging);
    const EditingState state = StateHolding(new_);
    int backups = 0;
    int partial = 0;
    const auto backUp = [&](int round) {
      WriteBackup(state, (folder_ / ("game" + std::to_string(round) + ".nes")).string());
    };
    const auto checkBackups = [&](KillFigures&) {
      for (const std::string& name : Entries(folder_)) {
        if (!name.ends_with("_backup.nes")) continue;
        ++backups;
        if (ReadAll(folder_ / name) != new_) ++partial;
        fs::remove(folder_ / name);
      }
    };
    // Ten kills at a time, within a spread that starts at 6 ms and follows
    // what a backup takes here: doubled after ten kills that let no backup
    // end, halved after ten that let more than twenty end. So in a slow
    // build on a busy machine backups still end whole, and kills still land
    // inside them.
    auto spread = std::chrono::microseconds(6000);
    KillFigures figures;
    for (int batch = 0; batch < kKills / 10; ++batch) {
      const int before = backups;
      const KillFigures some = KillWhileSaving(10, 20261211u + static_cast<std::uint32_t>(batch), folder_, backUp,
                                               checkBackups, std::nullopt, spread);
      figures.killed += some.killed;
      figures.leftTemporary += some.leftTemporary;
      if (backups == before) {
        spread *= 2;
      } else if (backups - before > 20) {
        spread /= 2;
      }
    }
    std::printf("[ figures  ] backups, %s: %d kills, %d backups checked, %d partial, %d kills left a temporary file\n",
                NameOf(staging), figures.killed, backups, partial, figures.leftTemporary);
    EXPECT_EQ(figures.killed, kKills) << NameOf(staging);
    EXPECT_GT(backups, 0) << NameOf(staging);
    EXPECT_EQ(partial, 0) << NameOf(staging);
  }
}

// A backup takes its name where no file stands; a file that appears under
// that name while the backup is written is kept: the backup's temporary
// file is linked (or, without hard links, renamed) to its final name only
// where no file stands.
TEST_F(SaveFaults, ABackupNeverTakesTheNameOfAFileThatAppearedMeanwhile) {
  const fs::path name = folder_ / "game_backup.nes";
  // On NFS, the other seams as the editor starts them.
  seams::RefuseNamelessFiles(true);
  seams::RefuseNoReplaceRenames(true);
  EXPECT_EQ(WriteNewFile(name.string(), new_), NewFileOutcome::Written);
  EXPECT_EQ(ReadAll(name), new_);
  fs::remove(name);
  for (const Staging staging : {Staging::NamedOnly, Staging::NamedWithoutLinks}) {
    Use(staging);
    seams::RunAtEachStep([&](seams::WriteStep step) {
      if (step == seams::WriteStep::StagedFileCreated && !fs::exists(name)) WriteAll(name, {7, 7, 7});
    });
    EXPECT_EQ(WriteNewFile(name.string(), new_), NewFileOutcome::AlreadyExists) << NameOf(staging);
    EXPECT_EQ(ReadAll(name), (std::vector<std::uint8_t>{7, 7, 7})) << NameOf(staging);
    EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "game_backup.nes"})) << NameOf(staging);
    fs::remove(name);
  }
  // Where a name can be given neither by a link nor by a rename that never
  // replaces, no backup is made, and nothing is left.
  seams::RunAtEachStep({});
  seams::RefuseHardLinks(true);
  seams::RefuseNoReplaceRenames(true);
  EXPECT_EQ(WriteNewFile(name.string(), new_), NewFileOutcome::CannotCreate);
  EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes"}));
}

// Where no new file can be made, the target is written in place; a write
// cut short there gets the old bytes back, and the recovery file goes again.
// The saver is a user who may write the file but not its folder, so the
// recovery file goes to the state folder (as "game.nes.", 16 hex digits and
// ".kme-recovery"); the file-size limit comes once that copy is on disk.
TEST_F(SaveFaults, InPlaceWriteCutShortEndsWithTheOldBytes) {
  const std::vector<std::uint8_t> shortOld(3000, 0x5C);
  for (const auto* before : {&old_, &shortOld}) {
    for (const rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{199680}, rlim_t{0x6000F}}) {
      WriteAll(target_, *before);
      fs::permissions(target_, fs::perms::all);
      const int status = SaveWithoutFolderRights(folder_, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        bool cut = false;
        bool kept = false;
        seams::RunAtEachStep([&](seams::WriteStep step) {
          if (step == seams::WriteStep::InPlaceStarting) {
            // The old bytes wait in the state folder, under the file's name.
            const std::vector<std::string> found = RecoveryFilesFor(target_.string());
            const std::string prefix = (state_ / "kestrin-music-editor" / "game.nes.").string();
            kept = found.size() == 1 && found[0].starts_with(prefix) && found[0].ends_with(".kme-recovery") &&
                   found[0].size() == prefix.size() + 16 + 13 && ReadAll(found[0]) == *before;
            const rlimit cap{limit, limit};
            setrlimit(RLIMIT_FSIZE, &cap);
          }
          if (step == seams::WriteStep::InPlaceCutShort) cut = true;
        });
        const bool written = WriteImage(StateHolding(new_), target_.string());
        return !kept ? 3 : written ? 0 : cut ? 1 : 2;
      });
      SKIP_UNLESS_CHILD_COULD_TEST(status);
      EXPECT_EQ(status, 1) << "limit " << limit;
      EXPECT_EQ(ReadAll(target_), *before) << "limit " << limit << ", old size " << before->size();
      EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
      EXPECT_TRUE(StateEntries().empty());
    }
  }
}

// A write in place cut short whose old bytes cannot be put back either
// (the limit drops to nothing before they are) says so and names the
// recovery file, which holds them; one that could be put back says only
// that it failed, and leaves no recovery file.
TEST_F(SaveFaults, AnInPlaceWriteThatCannotBeUndoneNamesItsRecoveryFile) {
  fs::create_hard_link(target_, folder_ / "other-name.nes");
  const fs::path recovery = folder_ / "game.nes.kme-recovery";
  for (const bool undoable : {true, false}) {
    WriteAll(target_, old_);
    const int outcome = InChild([&] {
      std::signal(SIGXFSZ, SIG_IGN);
      seams::RunAtEachStep([&](seams::WriteStep step) {
        const rlim_t limit = step == seams::WriteStep::InPlaceStarting ? 4096 : undoable ? 8192 : 0;
        const rlimit cap{limit, limit};
        if (step == seams::WriteStep::InPlaceStarting || step == seams::WriteStep::InPlaceCutShort) {
          setrlimit(RLIMIT_FSIZE, &cap);
        }
      });
      const ReplaceResult result = SaveImage(StateHolding(new_), target_.string());
      if (result.recoveryPath != (undoable ? std::string() : recovery.string())) return 9;
      return static_cast<int>(result.outcome);
    });
    if (undoable) {
      EXPECT_EQ(outcome, static_cast<int>(ReplaceOutcome::ShortWrite));
      EXPECT_EQ(ReadAll(target_), old_);
      EXPECT_FALSE(fs::exists(recovery));
    } else {
      EXPECT_EQ(outcome, static_cast<int>(ReplaceOutcome::ShortWriteNotRestored));
      const auto now = ReadAll(target_);
      EXPECT_NE(now, old_);
      EXPECT_TRUE(std::equal(now.begin(), now.begin() + 4096, new_.begin()));
      EXPECT_EQ(ReadAll(recovery), old_);
      EXPECT_EQ(RecoveryFilesFor(target_.string()), std::vector<std::string>{recovery.string()});
    }
  }
}

// A folder the saver may write and pass through but not read cannot be
// synced: the file is written, and the outcome says its name may not yet be
// on disk. The saver is a user without read rights on the folder, checked
// in the child.
TEST_F(SaveFaults, AFolderThatCannotBeSyncedIsReported) {
  fs::permissions(folder_, fs::perms::owner_write | fs::perms::owner_exec | fs::perms::group_write |
                               fs::perms::group_exec | fs::perms::others_write | fs::perms::others_exec);
  const int status = InChild([&] {
    if (!DropPrivileges()) return kCannotDrop;
    if (::access(folder_.c_str(), R_OK) == 0) return kCheckFailed;
    const EditingState state = StateHolding(new_);
    const bool saved = SaveImage(state, (folder_ / "new.nes").string()).outcome ==
                       ReplaceOutcome::WrittenFolderNotSynced;
    const BackupResult backup = WriteBackup(state, (folder_ / "new.nes").string());
    const bool backedUp = backup.outcome == BackupOutcome::Written && !backup.folderSynced;
    return saved && backedUp ? 0 : 1;
  });
  fs::permissions(folder_, fs::perms::all);
  if (status == kCannotDrop) GTEST_SKIP() << "root cannot become the unprivileged user nobody";
  if (status == kCheckFailed) GTEST_SKIP() << "the saving user can still read the folder";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(folder_ / "new.nes"), new_);
  EXPECT_EQ(ReadAll(folder_ / "new_backup.nes"), new_);

  // A folder that can be synced says so.
  EXPECT_EQ(SaveImage(StateHolding(old_), target_.string()).outcome, ReplaceOutcome::Written);
}

// The clean-up before a save removes only what a killed saver of this user
// left: a ".kme-" name of 8 letters or digits, one image long, unlocked,
// last written over a minute ago, owned by the saving user. Anything else
// stays, a user's own ".kme-notes123" first.
TEST_F(SaveFaults, TheCleanUpTakesOnlyWhatAKilledSaverLeft) {
  const passwd* nobody = getpwnam("nobody");
  struct Case {
    const char* name;
    std::size_t size;
    std::chrono::seconds age;
    bool otherOwner;
    bool locked;
    bool removed;
  };
  const std::size_t image = static_cast<std::size_t>(kRomSize);
  const std::chrono::seconds old{120};
  for (const Case& c : {Case{".kme-Abcd1234", image, old, false, false, true},
                        Case{".kme-notes123", 120, old, false, false, false},
                        Case{".kme-Abcd1234", image + 1, old, false, false, false},
                        Case{".kme-Abcd1234", image - 1, old, false, false, false},
                        Case{".kme-Abcd1234", image, std::chrono::seconds{0}, false, false, false},
                        Case{".kme-Abcd1234", image, old, true, false, false},
                        Case{".kme-Abcd1234", image, old, false, true, false},
                        Case{".kme-Abcd12345", image, old, false, false, false}}) {
    if (c.otherOwner && (nobody == nullptr || geteuid() != 0)) continue;  // needs root to give a file away
    const fs::path candidate = folder_ / c.name;
    WriteAll(candidate, std::vector<std::uint8_t>(c.size, 0x4B));
    if (c.otherOwner) {
      ASSERT_EQ(::chown(candidate.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    AgeBy(candidate, c.age);
    const int holder = c.locked ? ::open(candidate.c_str(), O_RDONLY) : -1;
    if (c.locked) {
      ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    }

    EXPECT_TRUE(WriteImage(StateHolding(new_), target_.string()));
    EXPECT_EQ(fs::exists(candidate), !c.removed)
        << c.name << ", " << c.size << " bytes, " << c.age.count() << " s old" << (c.otherOwner ? ", another's" : "")
        << (c.locked ? ", locked" : "");
    if (holder >= 0) ::close(holder);
    fs::remove(candidate);
  }
}

// Two savers in one folder, the second acting at the worst moment of the
// first, on a folder whose clock makes every file look a minute old. The
// second's clean-up must not take the first's temporary file, whether
// before the first locked it (the first then takes another name), while it
// is locked, or after its name went to a new file; or another process holds
// the lock of the first's new temporary file, which the first then gives up
// after a while for another name. The first save must go by rename, as it
// would alone.
TEST_F(SaveFaults, TwoSaversInOneFolderLeaveEachOtherAlone) {
  const fs::path second = folder_ / "second.nes";
  const fs::path leftover = folder_ / ".kme-Leftover";
  struct Case {
    const char* moment;
    Staging staging;
    seams::WriteStep step;
    bool holdsTheLock = false;
  };
  for (const Case& c : {Case{"named, before the lock", Staging::NamedOnly, seams::WriteStep::StagedFileCreated},
                        Case{"named, before the rename", Staging::NamedOnly, seams::WriteStep::StagedFileNamed},
                        Case{"nameless, before the rename", Staging::Nameless, seams::WriteStep::StagedFileNamed},
                        Case{"a leftover's name taken again", Staging::Nameless, seams::WriteStep::LeftoverLocked},
                        Case{"named, its lock held by another", Staging::NamedOnly,
                             seams::WriteStep::StagedFileCreated, true}}) {
    seams::Reset();
    Use(c.staging);
    WriteAll(target_, old_);
    WriteAll(second, old_);
    const bool takesName = c.step == seams::WriteStep::LeftoverLocked;
    if (takesName) {
      WriteAll(leftover, old_);  // left by a saver killed long ago
      AgeBy(leftover, std::chrono::minutes(5));
    } else {
      seams::CountLeftoversAsAbandonedAfter(std::chrono::seconds(0));
    }
    int secondsFile = -1;  // the second saver's staged file, held open and locked
    bool acted = false;
    seams::RunAtEachStep([&](seams::WriteStep step) {
      if (step != c.step || acted) return;
      acted = true;
      if (c.holdsTheLock) {
        for (const std::string& name : Entries(folder_)) {
          if (name.starts_with(".kme-")) secondsFile = ::open((folder_ / name).c_str(), O_RDONLY);
        }
        EXPECT_EQ(::flock(secondsFile, LOCK_EX), 0) << c.moment;
        return;
      }
      if (!takesName) {
        EXPECT_TRUE(WriteImage(StateHolding(new_), second.string())) << c.moment;
        return;
      }
      // Another saver removed the leftover and its staged file got the
      // same name.
      fs::remove(leftover);
      WriteAll(leftover, new_);
      secondsFile = ::open(leftover.c_str(), O_RDONLY);
      EXPECT_EQ(::flock(secondsFile, LOCK_EX), 0);
    });
    const ino_t before = InodeOf(target_);
    EXPECT_TRUE(WriteImage(StateHolding(new_), target_.string())) << c.moment;
    EXPECT_TRUE(acted) << c.moment;
    EXPECT_NE(InodeOf(target_), before) << c.moment << ": the save went in place, not by rename";
    EXPECT_EQ(ReadAll(target_), new_) << c.moment;
    if (c.holdsTheLock) {
      ::close(secondsFile);
    } else if (takesName) {
      EXPECT_EQ(ReadAll(leftover), new_) << c.moment;
      ::close(secondsFile);
      fs::remove(leftover);
    } else {
      EXPECT_EQ(ReadAll(second), new_) << c.moment;
    }
    EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "second.nes"})) << c.moment;
  }
}

// Each folder name stays within the 255-byte limit; together they make a
// path of 4,000 characters, so a temporary name built from the target's
// path would pass the 4,096-byte limit of a path.
TEST_F(SaveFaults, AVeryLongPathSavesByRename) {
  std::string path = folder_.string();
  constexpr std::size_t kLength = 4000;
  const std::string fileName = std::string(200, 'g') + ".nes";
  while (path.size() + 1 + 250 + 1 + fileName.size() < kLength) {
    path += "/" + std::string(250, 'd');
    ASSERT_EQ(::mkdir(path.c_str(), 0777), 0) << std::strerror(errno);
  }
  const std::size_t lastFolder = kLength - path.size() - 2 - fileName.size();
  path += "/" + std::string(lastFolder, 'e');
  ASSERT_EQ(::mkdir(path.c_str(), 0777), 0);
  path += "/" + fileName;
  ASSERT_EQ(path.size(), kLength);

  ASSERT_TRUE(WriteImage(StateHolding(old_), path));
  struct stat first {};
  ASSERT_EQ(::stat(path.c_str(), &first), 0);
  ASSERT_TRUE(WriteImage(StateHolding(new_), path));
  struct stat second {};
  ASSERT_EQ(::stat(path.c_str(), &second), 0);
  EXPECT_NE(second.st_ino, first.st_ino);  // a new file took the name: renamed, not overwritten
  EXPECT_EQ(ReadAll(path), new_);
  EXPECT_EQ(Entries(fs::path(path).parent_path()), std::set<std::string>{fileName});
}

TEST_F(SaveFaults, HardLinksStayLinked) {
  // Longer than an image: written in place, it is cut to the image's size.
  std::vector<std::uint8_t> longer = old_;
  longer.resize(old_.size() + 100, 0x5A);
  WriteAll(target_, longer);
  const fs::path other = folder_ / "other-name.nes";
  fs::create_hard_link(target_, other);
  ASSERT_TRUE(WriteImage(StateHolding(new_), target_.string()));
  EXPECT_EQ(ReadAll(target_), new_);
  EXPECT_EQ(ReadAll(other), new_);
  EXPECT_EQ(fs::hard_link_count(target_), 2u);
  EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "other-name.nes"}));

  // Where no folder can be synced, no recovery copy is sure to be on disk:
  // the file is not written, and no copy is left behind.
  seams::RefuseFolderSyncs(true);
  EXPECT_EQ(SaveImage(StateHolding(old_), target_.string()).outcome, ReplaceOutcome::CannotCreate);
  EXPECT_EQ(ReadAll(other), new_);
  EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "other-name.nes"}));
  EXPECT_TRUE(StateEntries().empty());
}

TEST_F(SaveFaults, TheOwnerIsKept) {
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr || geteuid() != 0) GTEST_SKIP() << "needs root and an unprivileged user";
  // Root saves a file of another user: it may give the new file away.
  ASSERT_EQ(::chown(target_.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_TRUE(WriteImage(StateHolding(new_), target_.string()));
  struct stat info {};
  ASSERT_EQ(::stat(target_.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, nobody->pw_uid);
  EXPECT_EQ(info.st_gid, nobody->pw_gid);
  EXPECT_EQ(ReadAll(target_), new_);

  // An unprivileged user saves root's file, which all may write, in a folder
  // all may write: the file cannot become theirs, so it is written in place.
  // The copy made under a short name for the rename goes again.
  ASSERT_EQ(::chown(target_.c_str(), 0, 0), 0);
  Use(Staging::NamedOnly);
  EXPECT_EQ(InChild([&] { return DropPrivileges() && WriteImage(StateHolding(old_), target_.string()) ? 0 : 1; }),
            0);
  ASSERT_EQ(::stat(target_.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_gid, 0u);
  EXPECT_EQ(ReadAll(target_), old_);
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
}

std::vector<char> Attribute(const fs::path& path, const char* name) {
  std::vector<char> value(256);
  const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
  return value;
}

// An access list in the kernel's attribute form: version 2, then entries
// of tag, permissions and id. Here: owner rw, the user nobody r, group r,
// mask r, others none.
std::vector<char> AccessList(std::uint32_t userId) {
  std::vector<char> bytes;
  const auto put = [&bytes](std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(2, 4);
  const std::uint32_t kAny = 0xFFFFFFFF;
  for (const auto& [tag, permissions, id] : {std::tuple{0x01u, 6u, kAny}, std::tuple{0x02u, 4u, userId},
                                            std::tuple{0x04u, 4u, kAny}, std::tuple{0x10u, 4u, kAny},
                                            std::tuple{0x20u, 0u, kAny}}) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  }
  return bytes;
}

TEST_F(SaveFaults, ExtendedAttributesAndAccessListsAreKept) {
  const std::string note = "made up for this test";
  if (::setxattr(target_.c_str(), "user.kestrin.note", note.data(), note.size(), 0) != 0) {
    GTEST_SKIP() << "no user attributes on this file system";
  }
  const std::vector<char> list = AccessList(65534);
  const bool withList = ::setxattr(target_.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) == 0;
  struct stat before {};
  ASSERT_EQ(::stat(target_.c_str(), &before), 0);

  ASSERT_TRUE(WriteImage(StateHolding(new_), target_.string()));
  struct stat after {};
  ASSERT_EQ(::stat(target_.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced by rename
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(ReadAll(target_), new_);
  const std::vector<char> kept = Attribute(target_, "user.kestrin.note");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), note);
  if (withList) {
    EXPECT_EQ(Attribute(target_, "system.posix_acl_access"), list);
  }

  // Where an attribute cannot be carried over to a new file (a security
  // module refuses it, or the list grows while it is read), the file is
  // written in place: it keeps its inode and every attribute.
  for (const bool refused : {true, false}) {
    SCOPED_TRACE(refused ? "attribute refused" : "list grew while read");
    seams::Reset();
    if (refused) {
      seams::RefuseAttributeOnNewFiles("user.kestrin.note");
    } else {
      seams::RunAtEachStep([this](seams::WriteStep step) {
        if (step == seams::WriteStep::AttributesMeasured) ::setxattr(target_.c_str(), "user.kestrin.added", "1", 1, 0);
      });
    }
    const std::vector<std::uint8_t>& bytes = refused ? old_ : new_;
    const ino_t inode = InodeOf(target_);
    ASSERT_TRUE(WriteImage(StateHolding(bytes), target_.string()));
    EXPECT_EQ(InodeOf(target_), inode);
    EXPECT_EQ(ReadAll(target_), bytes);
    const std::vector<char> still = Attribute(target_, "user.kestrin.note");
    EXPECT_EQ(std::string(still.begin(), still.end()), note);
    EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
  }
}

}  // namespace
}  // namespace kestrin
