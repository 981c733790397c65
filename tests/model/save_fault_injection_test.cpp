// Saving under injected faults: a write cut short by a file-size limit, a
// read-only target, a read-only folder, a target that is a folder, and a
// process killed at random moments while it saves. The target must always
// hold either its old bytes or the whole new image, never a mix, and a
// failure the program saw must leave no temporary file behind.

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "editing_state.h"
#include "music_bank.h"
#include "rom_file.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

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
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Runs `body` in a child process and returns its exit status (or -signal).
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Root ignores permission bits; children that test them drop to an
// unprivileged user first.
bool DropPrivileges() {
  if (geteuid() != 0) return true;
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) return false;
  return setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0;
}

class SaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("kestrin-save-faults-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::permissions(folder_, fs::perms::all);  // the unprivileged child must reach it
    target_ = folder_ / "game.nes";
    WriteAll(target_, old_);
    fs::permissions(target_, fs::perms::all);
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::all);
    fs::remove_all(folder_);
  }

  fs::path folder_;
  fs::path target_;
  const std::vector<std::uint8_t> old_ = Pattern(1);
  const std::vector<std::uint8_t> new_ = Pattern(2);
};

TEST_F(SaveFaults, WriteCutShortByFileSizeLimitLeavesOldFileAndNoTemporary) {
  for (const rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{200000}, rlim_t{0x6000F}}) {
    const int status = InChild([&] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit cap{limit, limit};
      setrlimit(RLIMIT_FSIZE, &cap);
      return WriteImage(StateHolding(new_), target_.string()) ? 0 : 1;
    });
    EXPECT_EQ(status, 1) << "limit " << limit;
    EXPECT_EQ(ReadAll(target_), old_) << "limit " << limit;
    EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"}) << "limit " << limit;
  }
}

TEST_F(SaveFaults, ReadOnlyTargetIsRefusedAndKept) {
  fs::permissions(target_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(WriteImage(StateHolding(new_), target_.string()));
  EXPECT_EQ(ReadAll(target_), old_);
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
}

TEST_F(SaveFaults, ReadOnlyFolderWritesIntoWritableTargetOrRefusesNewFile) {
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const int replaced = InChild([&] {
    if (!DropPrivileges()) return 3;
    return WriteImage(StateHolding(new_), target_.string()) ? 0 : 1;
  });
  if (replaced == 3) GTEST_SKIP() << "no unprivileged user to test folder permissions with";
  EXPECT_EQ(replaced, 0);
  EXPECT_EQ(ReadAll(target_), new_);

  const int created = InChild([&] {
    if (!DropPrivileges()) return 3;
    return WriteImage(StateHolding(new_), (folder_ / "other.nes").string()) ? 0 : 1;
  });
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
}

// A child saves two images in turn, over and over; the parent kills it at a
// random moment and checks the target each time.
TEST_F(SaveFaults, KillsWhileSavingNeverLeaveAPartialFile) {
  constexpr int kKills = 200;
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delayMicros(0, 6000);
  int partial = 0;
  int killedMidRun = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t pid = fork();
    if (pid == 0) {
      const EditingState first = StateHolding(new_);
      const EditingState second = StateHolding(old_);
      for (int round = 0;; ++round) WriteImage(round % 2 == 0 ? first : second, target_.string());
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killedMidRun;
    const auto now = ReadAll(target_);
    if (now != old_ && now != new_) ++partial;
  }
  // A killed process cannot tidy up: temporary files it left are not the
  // target, and the next save does not depend on them.
  std::size_t leftovers = Entries(folder_).size() - 1;
  RecordProperty("kills", killedMidRun);
  RecordProperty("partial_files", partial);
  RecordProperty("leftover_temporaries", static_cast<int>(leftovers));
  std::printf("[ figures  ] %d kills while saving, %d partial targets, %zu temporary files left by killed savers\n",
              killedMidRun, partial, leftovers);
  EXPECT_EQ(killedMidRun, kKills);
  EXPECT_EQ(partial, 0);
  EXPECT_TRUE(WriteImage(StateHolding(new_), target_.string()));
  EXPECT_EQ(ReadAll(target_), new_);
}

}  // namespace
}  // namespace kestrin
