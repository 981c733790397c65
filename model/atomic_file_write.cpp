#include "atomic_file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>

namespace kestrin {
namespace {

namespace fs = std::filesystem;

// Linux gives up on link chains of this length as well.
constexpr int kMaxLinkHops = 40;
constexpr int kTemporaryNameAttempts = 100;
// Keeps ".<name>.XXXXXX" within the usual 255-byte name limit.
constexpr std::size_t kMaxNameStemInTemporary = 200;

// The file a chain of symbolic links ends at; a dangling link yields the
// path it points to. Nothing when the chain loops or cannot be read.
std::optional<fs::path> ResolveLinks(fs::path path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error && status.type() != fs::file_type::not_found) return std::nullopt;
    if (status.type() != fs::file_type::symlink) return path;
    const fs::path next = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return std::nullopt;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

std::uint64_t RandomSeed() {
  try {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
}

// Creates a new, empty file with a unique name next to `target`; the umask
// applies to its mode as to any new file.
std::optional<std::pair<int, fs::path>> CreateTemporaryBeside(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string stem(1, '.');
  stem += target.filename().string();
  if (stem.size() > kMaxNameStemInTemporary) stem.resize(kMaxNameStemInTemporary);
  static constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::mt19937_64 random(RandomSeed());
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string name = stem + ".";
    for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
    const fs::path candidate = folder / name;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return std::pair{fd, candidate};
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

void SyncFolderOf(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The old way, for folders that take no new file: the target's own bytes
// are overwritten, so a failure part way leaves a mix.
FileWriteOutcome WriteInPlace(const fs::path& target, std::span<const std::uint8_t> bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return FileWriteOutcome::CannotCreate;
  const bool ok = WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
                  ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  return ok && closed ? FileWriteOutcome::Written : FileWriteOutcome::ShortWrite;
}

bool IsWritable(const fs::path& target, const struct stat& info) {
  // access() always says yes to root, so a file nobody may write counts as
  // read-only whoever saves.
  constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
  return (info.st_mode & kAnyWriteBit) != 0 && ::access(target.c_str(), W_OK) == 0;
}

}  // namespace

FileWriteOutcome WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) return FileWriteOutcome::CannotCreate;
  const std::optional<fs::path> resolved = ResolveLinks(fs::path(path));
  if (!resolved) return FileWriteOutcome::CannotCreate;
  const fs::path& target = *resolved;

  struct stat existing {};
  bool exists = false;
  if (::stat(target.c_str(), &existing) == 0) {
    exists = true;
    // Devices, pipes and folders are never replaced by a ROM file.
    if (!S_ISREG(existing.st_mode)) return FileWriteOutcome::CannotCreate;
    if (!IsWritable(target, existing)) return FileWriteOutcome::CannotCreate;
  } else if (errno != ENOENT) {
    return FileWriteOutcome::CannotCreate;
  }

  auto temporary = CreateTemporaryBeside(target);
  if (!temporary) {
    return exists ? WriteInPlace(target, bytes) : FileWriteOutcome::CannotCreate;
  }
  const int fd = temporary->first;
  const fs::path temporaryPath = temporary->second;
  const auto discard = [&temporaryPath] { ::unlink(temporaryPath.c_str()); };

  if (exists) {
    // The owner can only be kept where we may give files away; the mode
    // always can on a normal file system.
    [[maybe_unused]] const int owner = ::fchown(fd, existing.st_uid, existing.st_gid);
    if (::fchmod(fd, existing.st_mode & 07777) != 0) {
      ::close(fd);
      discard();
      return WriteInPlace(target, bytes);
    }
  }

  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    discard();
    return FileWriteOutcome::ShortWrite;
  }

  if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
    discard();
    // A target that is a mount point or similar cannot be renamed over.
    return exists ? WriteInPlace(target, bytes) : FileWriteOutcome::CannotCreate;
  }
  SyncFolderOf(target);
  return FileWriteOutcome::Written;
}

}  // namespace kestrin
