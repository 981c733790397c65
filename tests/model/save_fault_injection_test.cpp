// Saving under injected faults: a write cut short by a file-size limit, a
// read-only target, a read-only folder, a target that is a folder, and a
// process killed at random moments while it saves. The target must always
// hold either its old bytes or the whole new image, never a mix, and a
// failure the program saw must leave no temporary file behind. Saving must
// also keep what makes the file itself: its other hard links, its owner and
// its extended attributes.

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
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

std::size_t TemporariesIn(const fs::path& folder) { return Entries(folder).size() - 1; }

// A child saves two images in turn, over and over; the parent kills it at a
// random moment and checks the target each time. A kill can leave a
// temporary file only between naming it and the rename; the next save
// removes it, so at most the last kill's one may remain.
TEST_F(SaveFaults, KillsWhileSavingNeverLeaveAPartialFile) {
  constexpr int kKills = 200;
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delayMicros(0, 6000);
  int partial = 0;
  int killedMidRun = 0;
  int leftRightAfterKill = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const std::size_t before = TemporariesIn(folder_);
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
    if (TemporariesIn(folder_) > before) ++leftRightAfterKill;
  }
  const std::size_t leftovers = TemporariesIn(folder_);
  RecordProperty("kills", killedMidRun);
  RecordProperty("partial_files", partial);
  RecordProperty("kills_leaving_a_temporary", leftRightAfterKill);
  RecordProperty("leftover_temporaries", static_cast<int>(leftovers));
  std::printf(
      "[ figures  ] %d kills while saving, %d partial targets, %d kills left a temporary file, %zu left at the "
      "end\n",
      killedMidRun, partial, leftRightAfterKill, leftovers);
  EXPECT_EQ(killedMidRun, kKills);
  EXPECT_EQ(partial, 0);
  EXPECT_LE(leftovers, 1u);
  EXPECT_TRUE(WriteImage(StateHolding(new_), target_.string()));
  EXPECT_EQ(ReadAll(target_), new_);
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
}

// Where no new file can be made, the target is written in place; a write
// cut short there gets the old bytes back. The saver is an unprivileged
// user who may write the file but not its folder.
TEST_F(SaveFaults, InPlaceWriteCutShortEndsWithTheOldBytes) {
  const std::vector<std::uint8_t> shortOld(3000, 0x5C);
  for (const auto* before : {&old_, &shortOld}) {
    for (const rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{199680}, rlim_t{0x6000F}}) {
      fs::permissions(folder_, fs::perms::all);
      WriteAll(target_, *before);
      fs::permissions(target_, fs::perms::all);
      fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
      const int status = InChild([&] {
        if (!DropPrivileges()) return 3;
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{limit, limit};
        setrlimit(RLIMIT_FSIZE, &cap);
        return WriteImage(StateHolding(new_), target_.string()) ? 0 : 1;
      });
      if (status == 3) GTEST_SKIP() << "no unprivileged user to save as";
      EXPECT_EQ(status, 1) << "limit " << limit;
      EXPECT_EQ(ReadAll(target_), *before) << "limit " << limit << ", old size " << before->size();
      EXPECT_EQ(Entries(folder_), std::set<std::string>{"game.nes"});
    }
  }
  // Without a limit the same save goes through, in place.
  fs::permissions(folder_, fs::perms::all);
  WriteAll(target_, old_);
  fs::permissions(folder_, fs::perms::owner_all | fs::perms::others_exec);
  struct stat before {};
  ASSERT_EQ(::stat(target_.c_str(), &before), 0);
  EXPECT_EQ(InChild([&] { return DropPrivileges() && WriteImage(StateHolding(new_), target_.string()) ? 0 : 1; }),
            0);
  EXPECT_EQ(ReadAll(target_), new_);
  struct stat after {};
  ASSERT_EQ(::stat(target_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
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
  const fs::path other = folder_ / "other-name.nes";
  fs::create_hard_link(target_, other);
  ASSERT_TRUE(WriteImage(StateHolding(new_), target_.string()));
  EXPECT_EQ(ReadAll(target_), new_);
  EXPECT_EQ(ReadAll(other), new_);
  EXPECT_EQ(fs::hard_link_count(target_), 2u);
  EXPECT_EQ(Entries(folder_), (std::set<std::string>{"game.nes", "other-name.nes"}));
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
  ASSERT_EQ(::chown(target_.c_str(), 0, 0), 0);
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
}

}  // namespace
}  // namespace kestrin
