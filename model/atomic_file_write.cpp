#include "atomic_file_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrin {
namespace {

namespace fs = std::filesystem;

// Linux gives up on link chains of this length as well.
constexpr int kMaxLinkHops = 40;
constexpr int kTemporaryNameAttempts = 100;
// Temporary names are short and fixed in length, so no file name and no
// path is ever made longer than the target's own.
constexpr std::string_view kTemporaryPrefix = ".kme-";
constexpr int kTemporaryRandomLetters = 8;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and tells whether the close succeeded (NFS reports late
  // write errors only here).
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_;
};

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

fs::path FolderOf(const fs::path& target) {
  return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// Writes all of `bytes` at `offset`; returns how many reached the file.
std::size_t WriteAt(int fd, std::span<const std::uint8_t> bytes, std::size_t offset = 0) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
  return done;
}

std::optional<std::vector<std::uint8_t>> ReadWhole(int fd, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

std::uint64_t RandomSeed() {
  try {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
}

class TemporaryNames {
 public:
  TemporaryNames() : random_(RandomSeed()) {}
  std::string Next() {
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::string name(kTemporaryPrefix);
    for (int i = 0; i < kTemporaryRandomLetters; ++i) name += kLetters[pick(random_)];
    return name;
  }

 private:
  std::mt19937_64 random_;
};

// The target's folder, open for the *at() calls, so that only short names
// relative to it are ever passed to the kernel.
FileDescriptor OpenFolder(const fs::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) fd = FileDescriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  return fd;
}

void SyncFolder(int folderFd) {
  // A folder opened only as a path cannot be synced; its entry still goes
  // to disk with the next journal commit.
  ::fsync(folderFd);
}

// A file in the target's folder that holds the new bytes, not yet under the
// target's name. A nameless one vanishes by itself if the process dies;
// a named one (only where the file system takes no nameless files) has a
// short temporary name that Discard() removes.
struct StagedFile {
  FileDescriptor fd;
  std::string temporaryName;  // empty while nameless
};

// A staged file stays locked while its saver lives, so a save can tell
// the temporary file of a saver that was killed from one still at work.
std::optional<StagedFile> Locked(FileDescriptor fd, std::string name) {
  ::flock(fd.Get(), LOCK_EX | LOCK_NB);
  return StagedFile{std::move(fd), std::move(name)};
}

std::optional<StagedFile> CreateStagedFile(int folderFd, TemporaryNames& names) {
  FileDescriptor nameless(::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (nameless.Valid()) return Locked(std::move(nameless), {});
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string name = names.Next();
    FileDescriptor named(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (named.Valid()) return Locked(std::move(named), std::move(name));
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryRandomLetters || !name.starts_with(kTemporaryPrefix)) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kTemporaryPrefix.size()), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// A saver killed between naming its file and the rename leaves a complete
// temporary file that nobody holds locked any more; the next save in the
// folder removes it. One still locked belongs to a saver at work.
void RemoveAbandonedTemporaries(int folderFd) {
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* listing = ::fdopendir(listFd);
  if (listing == nullptr) {
    ::close(listFd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    const FileDescriptor fd(::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat held {};
    struct stat named {};
    if (!fd.Valid() || ::fstat(fd.Get(), &held) != 0 || !S_ISREG(held.st_mode) || held.st_nlink != 1) continue;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
    // The name may have been renamed away and taken again meanwhile.
    if (::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_ino != held.st_ino ||
        named.st_dev != held.st_dev) {
      continue;
    }
    ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(listing);
}

void Discard(int folderFd, const StagedFile& staged) {
  if (!staged.temporaryName.empty()) ::unlinkat(folderFd, staged.temporaryName.c_str(), 0);
}

// Gives a nameless file the name `name` in the folder. The /proc route
// needs no privilege; AT_EMPTY_PATH is tried where /proc is missing.
bool LinkNameless(int fd, int folderFd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  return ::linkat(fd, "", folderFd, name.c_str(), AT_EMPTY_PATH) == 0;
}

// Names a nameless staged file with a short temporary name, ready for
// rename().
bool NameStagedFile(StagedFile& staged, int folderFd, TemporaryNames& names) {
  if (!staged.temporaryName.empty()) return true;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string name = names.Next();
    if (LinkNameless(staged.fd.Get(), folderFd, name)) {
      staged.temporaryName = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool CopyExtendedAttributes(const fs::path& from, int to) {
  const ssize_t listSize = ::listxattr(from.c_str(), nullptr, 0);
  if (listSize < 0) return errno == ENOTSUP;
  std::vector<char> list(static_cast<std::size_t>(listSize));
  const ssize_t listed = ::listxattr(from.c_str(), list.data(), list.size());
  if (listed < 0) return false;
  for (std::size_t at = 0; at < static_cast<std::size_t>(listed);) {
    const char* name = list.data() + at;
    at += std::char_traits<char>::length(name) + 1;
    const ssize_t size = ::getxattr(from.c_str(), name, nullptr, 0);
    if (size < 0) return false;
    std::vector<char> value(static_cast<std::size_t>(size));
    const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
    if (got < 0) return false;
    if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0) return false;
  }
  return true;
}

// Gives the new file everything that makes the target what it is besides
// its bytes. False when any of it cannot be given.
bool TakeOverIdentity(int fd, const fs::path& target, const struct stat& existing) {
  // chown() clears the set-id bits, so the mode comes after it; an ACL
  // attribute comes last, as it also sets the group bits of the mode.
  return ::fchown(fd, existing.st_uid, existing.st_gid) == 0 && ::fchmod(fd, existing.st_mode & 07777) == 0 &&
         CopyExtendedAttributes(target, fd);
}

bool WriteAndSync(StagedFile& staged, std::span<const std::uint8_t> bytes) {
  return WriteAt(staged.fd.Get(), bytes) == bytes.size() && ::fsync(staged.fd.Get()) == 0;
}

// For targets that cannot be replaced by rename: the target's own bytes are
// overwritten, after its old bytes were read so that a write failing part
// way can be undone.
FileWriteOutcome WriteInPlace(const fs::path& target, std::span<const std::uint8_t> bytes) {
  FileDescriptor fd(::open(target.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd.Valid()) return FileWriteOutcome::CannotCreate;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return FileWriteOutcome::CannotCreate;
  const auto old = ReadWhole(fd.Get(), static_cast<std::size_t>(info.st_size));
  if (!old) return FileWriteOutcome::CannotCreate;

  const std::size_t done = WriteAt(fd.Get(), bytes);
  bool shortened = false;
  bool ok = done == bytes.size();
  if (ok && old->size() > bytes.size()) {
    ok = ::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) == 0;
    shortened = ok;
  }
  ok = ok && ::fsync(fd.Get()) == 0;
  if (ok) return fd.Close() ? FileWriteOutcome::Written : FileWriteOutcome::ShortWrite;

  // Only the stretch that was written needs its old bytes back; the rest
  // was never touched (and a size limit would refuse to rewrite it).
  const std::size_t touched = shortened ? old->size() : std::min(done, old->size());
  WriteAt(fd.Get(), std::span<const std::uint8_t>(*old).first(touched));
  if (done > old->size() || shortened) {
    [[maybe_unused]] const int cut = ::ftruncate(fd.Get(), static_cast<off_t>(old->size()));
  }
  ::fsync(fd.Get());
  return FileWriteOutcome::ShortWrite;
}

bool IsWritable(const fs::path& target, const struct stat& info) {
  // access() always says yes to root, so a file nobody may write counts as
  // read-only whoever saves.
  constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
  return (info.st_mode & kAnyWriteBit) != 0 && ::access(target.c_str(), W_OK) == 0;
}

enum class RenameResult { Written, ShortWrite, NotPossible };

RenameResult ReplaceByRename(const fs::path& target, const struct stat* existing,
                             std::span<const std::uint8_t> bytes) {
  const FileDescriptor folder = OpenFolder(FolderOf(target));
  if (!folder.Valid()) return RenameResult::NotPossible;
  RemoveAbandonedTemporaries(folder.Get());
  TemporaryNames names;
  std::optional<StagedFile> staged = CreateStagedFile(folder.Get(), names);
  if (!staged) return RenameResult::NotPossible;
  if (existing != nullptr && !TakeOverIdentity(staged->fd.Get(), target, *existing)) {
    Discard(folder.Get(), *staged);
    return RenameResult::NotPossible;
  }
  if (!WriteAndSync(*staged, bytes)) {
    Discard(folder.Get(), *staged);
    return RenameResult::ShortWrite;
  }
  if (!NameStagedFile(*staged, folder.Get(), names)) return RenameResult::NotPossible;
  // The file stays open, and so locked, until it is renamed: see
  // RemoveAbandonedTemporaries. Its bytes are already synced, so closing
  // it afterwards has nothing left to report.
  const std::string name = target.filename().string();
  if (::renameat(folder.Get(), staged->temporaryName.c_str(), folder.Get(), name.c_str()) != 0) {
    Discard(folder.Get(), *staged);
    return RenameResult::NotPossible;
  }
  staged->fd.Close();
  SyncFolder(folder.Get());
  return RenameResult::Written;
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
    // A rename would leave the other names with the old bytes.
    if (existing.st_nlink > 1) return WriteInPlace(target, bytes);
  } else if (errno != ENOENT) {
    return FileWriteOutcome::CannotCreate;
  }

  switch (ReplaceByRename(target, exists ? &existing : nullptr, bytes)) {
    case RenameResult::Written:
      return FileWriteOutcome::Written;
    case RenameResult::ShortWrite:
      return FileWriteOutcome::ShortWrite;
    case RenameResult::NotPossible:
      break;
  }
  return exists ? WriteInPlace(target, bytes) : FileWriteOutcome::CannotCreate;
}

NewFileOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) return NewFileOutcome::CannotCreate;
  const fs::path target(path);
  const std::string name = target.filename().string();
  const FileDescriptor folder = OpenFolder(FolderOf(target));
  if (name.empty() || !folder.Valid()) return NewFileOutcome::CannotCreate;

  FileDescriptor nameless(::openat(folder.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (nameless.Valid()) {
    if (WriteAt(nameless.Get(), bytes) != bytes.size() || ::fsync(nameless.Get()) != 0) {
      return NewFileOutcome::ShortWrite;
    }
    // link() never replaces: the name is taken whole or not at all.
    if (LinkNameless(nameless.Get(), folder.Get(), name)) {
      SyncFolder(folder.Get());
      return NewFileOutcome::Written;
    }
    if (errno == EEXIST) return NewFileOutcome::AlreadyExists;
  }

  // No nameless files here: create the name exclusively and remove it
  // again if the bytes do not all arrive.
  FileDescriptor named(::openat(folder.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!named.Valid()) return errno == EEXIST ? NewFileOutcome::AlreadyExists : NewFileOutcome::CannotCreate;
  const bool written = WriteAt(named.Get(), bytes) == bytes.size() && ::fsync(named.Get()) == 0;
  if (!named.Close() || !written) {
    ::unlinkat(folder.Get(), name.c_str(), 0);
    return NewFileOutcome::ShortWrite;
  }
  SyncFolder(folder.Get());
  return NewFileOutcome::Written;
}

}  // namespace kestrin
