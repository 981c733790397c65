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
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "atomic_file_write_seams.h"
#include "disk_record.h"
#include "music_bank.h"

namespace kestrin {

namespace file_write_seams {
namespace {

struct Seams {
  bool refuseNameless = false;
  bool refuseFolderSyncs = false;
  bool refuseHardLinks = false;
  bool refuseNoReplaceRenames = false;
  std::string refusedAttribute;
  std::chrono::seconds abandonedAfter{60};
  std::function<void(WriteStep)> atStep;
};

Seams& Current() {
  static Seams seams;
  return seams;
}

}  // namespace

void RefuseNamelessFiles(bool refuse) { Current().refuseNameless = refuse; }
void RefuseFolderSyncs(bool refuse) { Current().refuseFolderSyncs = refuse; }
void RefuseHardLinks(bool refuse) { Current().refuseHardLinks = refuse; }
void RefuseNoReplaceRenames(bool refuse) { Current().refuseNoReplaceRenames = refuse; }
void RefuseAttributeOnNewFiles(std::string name) { Current().refusedAttribute = std::move(name); }
void CountLeftoversAsAbandonedAfter(std::chrono::seconds age) { Current().abandonedAfter = age; }
void RunAtEachStep(std::function<void(WriteStep)> hook) { Current().atStep = std::move(hook); }
void Reset() { Current() = Seams{}; }

}  // namespace file_write_seams

namespace {

namespace fs = std::filesystem;
using file_write_seams::WriteStep;

// Linux gives up on link chains of this length as well.
constexpr int kMaxLinkHops = 40;
constexpr int kTemporaryNameAttempts = 100;
// Temporary names are short and fixed in length, so no file name and no
// path is ever made longer than the target's own.
constexpr std::string_view kTemporaryPrefix = ".kme-";
constexpr int kTemporaryRandomLetters = 8;
constexpr std::string_view kRecoverySuffix = ".kme-recovery";
constexpr int kRecoveryChoices = 100;
// Recovery names in the state folder keep this much of the file's name, so
// that the hash and the suffix still fit a file name.
constexpr std::size_t kRecoveryNameKept = 200;
constexpr std::string_view kStateFolderName = "kestrin-music-editor";
// A clean-up holds the lock of a file it examines only for a moment.
constexpr int kLockAttempts = 50;
constexpr auto kLockRetryPause = std::chrono::milliseconds(2);

void Step(WriteStep step) {
  const auto& hook = file_write_seams::Current().atStep;
  if (hook) hook(step);
}

bool NamelessFilesAllowed() { return !file_write_seams::Current().refuseNameless; }

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
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
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

// A folder open for the *at() calls, so that only short names relative to
// it are ever passed to the kernel. One the user may pass through but not
// read is opened as a path only; such a folder cannot be listed or synced.
FileDescriptor OpenFolder(const fs::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) fd = FileDescriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  return fd;
}

// Puts the folder's entries on disk. A file system that has nothing to sync
// for a folder says EINVAL; a folder open as a path only fails.
bool SyncFolder(int folderFd) {
  if (file_write_seams::Current().refuseFolderSyncs) return false;
  return ::fsync(folderFd) == 0 || errno == EINVAL;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_ino == b.st_ino && a.st_dev == b.st_dev; }

// Whether `name` in the folder still names the file open as `fd`.
bool NameHolds(int folderFd, const std::string& name, int fd) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameFile(held, named);
}

bool Lock(int fd) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    std::this_thread::sleep_for(kLockRetryPause);
  }
  return false;  // held by another all along
}

// A file in a folder that takes the new bytes before they get their final
// name. A nameless one vanishes by itself if the process dies; a named one
// (only where the file system takes no nameless files) has a short
// temporary name that Discard() removes. It stays locked while its saver
// lives, so that a clean-up can tell it from one a killed saver left.
struct StagedFile {
  FileDescriptor fd;
  std::string temporaryName;  // empty while nameless
};

void Discard(int folderFd, StagedFile& staged) {
  if (!staged.temporaryName.empty() && NameHolds(folderFd, staged.temporaryName, staged.fd.Get())) {
    ::unlinkat(folderFd, staged.temporaryName.c_str(), 0);
  }
  staged.temporaryName.clear();
}

std::optional<StagedFile> CreateStagedFile(int folderFd, std::size_t size, TemporaryNames& names) {
  if (NamelessFilesAllowed()) {
    FileDescriptor nameless(::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (nameless.Valid()) {
      if (!Lock(nameless.Get())) return std::nullopt;
      return StagedFile{std::move(nameless), {}};
    }
  }
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    StagedFile named{FileDescriptor(), names.Next()};
    named.fd = FileDescriptor(
        ::openat(folderFd, named.temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!named.fd.Valid()) {
      if (errno == EEXIST) continue;
      return std::nullopt;
    }
    // The whole size at once: a saver killed while writing leaves a file
    // the clean-up knows for one of its own.
    if (::ftruncate(named.fd.Get(), static_cast<off_t>(size)) != 0) {
      Discard(folderFd, named);
      return std::nullopt;
    }
    Step(WriteStep::StagedFileCreated);
    if (!Lock(named.fd.Get())) {
      Discard(folderFd, named);
      continue;
    }
    // Until the lock was taken, another saver's clean-up may have removed
    // the name (and another file may have taken it since).
    if (!NameHolds(folderFd, named.temporaryName, named.fd.Get())) continue;
    return named;
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

bool AbandonedLongEnough(const struct stat& info) {
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const auto age = std::chrono::seconds(now.tv_sec - info.st_mtim.tv_sec) +
                   std::chrono::nanoseconds(now.tv_nsec - info.st_mtim.tv_nsec);
  return age >= file_write_seams::Current().abandonedAfter;
}

// What a killed saver leaves: a temporary file of its own user, one whole
// image long (staged files get their size at once), last written a while
// ago, that nobody holds locked any more. A file of anyone else, of another
// size, still locked or recently written is left alone.
bool LooksAbandoned(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_nlink == 1 && info.st_uid == ::geteuid() &&
         info.st_size == static_cast<off_t>(kRomSize) && AbandonedLongEnough(info);
}

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
    if (!fd.Valid() || ::fstat(fd.Get(), &held) != 0 || !LooksAbandoned(held)) continue;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
    Step(WriteStep::LeftoverLocked);
    // The name may have gone to another file between the open and the lock.
    if (!NameHolds(folderFd, entry->d_name, fd.Get())) continue;
    ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(listing);
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

// Gives the staged file the final name `name`, which it never takes from
// another file. False with errno EEXIST when the name is taken.
bool LinkStagedFile(StagedFile& staged, int folderFd, const std::string& name) {
  if (staged.temporaryName.empty()) return LinkNameless(staged.fd.Get(), folderFd, name);
  // The test seam plays a file system without hard links as vfat answers.
  const int linked = file_write_seams::Current().refuseHardLinks
                         ? (errno = EPERM, -1)
                         : ::linkat(folderFd, staged.temporaryName.c_str(), folderFd, name.c_str(), 0);
  // The temporary name is left to the caller's Discard(), as on failure.
  if (linked == 0) return true;
  if (errno == EEXIST) return false;
  // Some file systems (vfat) have no hard links but can rename without
  // replacing. The test seam plays NFS, which has hard links but takes no
  // rename flags.
  const int renamed =
      file_write_seams::Current().refuseNoReplaceRenames
          ? (errno = EINVAL, -1)
          : ::renameat2(folderFd, staged.temporaryName.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE);
  if (renamed != 0) return false;
  staged.temporaryName.clear();
  return true;
}

bool CopyExtendedAttributes(const fs::path& from, int to) {
  const ssize_t listSize = ::listxattr(from.c_str(), nullptr, 0);
  if (listSize < 0) return errno == ENOTSUP;
  std::vector<char> list(static_cast<std::size_t>(listSize));
  Step(WriteStep::AttributesMeasured);
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
    // The test seam plays a security module that refuses the attribute.
    const int set = file_write_seams::Current().refusedAttribute == name
                        ? (errno = EPERM, -1)
                        : ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0);
    if (set != 0) return false;
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

// Puts `bytes` under `name` in the folder, whole or not at all, never
// replacing anything. The file gets `mode` when one is given, else 0666
// less the umask.
NewFileOutcome CreateWhole(int folderFd, const std::string& name, std::span<const std::uint8_t> bytes,
                           std::optional<mode_t> mode = std::nullopt) {
  RemoveAbandonedTemporaries(folderFd);
  TemporaryNames names;
  std::optional<StagedFile> staged = CreateStagedFile(folderFd, bytes.size(), names);
  if (!staged) return NewFileOutcome::CannotCreate;
  if ((mode && ::fchmod(staged->fd.Get(), *mode) != 0) || !WriteAndSync(*staged, bytes)) {
    Discard(folderFd, *staged);
    return NewFileOutcome::ShortWrite;
  }
  const bool linked = LinkStagedFile(*staged, folderFd, name);
  const int linkError = errno;
  Discard(folderFd, *staged);
  if (!linked) return linkError == EEXIST ? NewFileOutcome::AlreadyExists : NewFileOutcome::CannotCreate;
  return SyncFolder(folderFd) ? NewFileOutcome::Written : NewFileOutcome::WrittenFolderNotSynced;
}

// --- Recovery files ---------------------------------------------------------

std::optional<fs::path> StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && fs::path(state).is_absolute()) return fs::path(state) / kStateFolderName;
  const char* home = std::getenv("HOME");
  if (home != nullptr && fs::path(home).is_absolute()) return fs::path(home) / ".local" / "state" / kStateFolderName;
  return std::nullopt;
}

std::string RecoveryName(std::string base, int choice) {
  base += kRecoverySuffix;
  if (choice > 1) base += "-" + std::to_string(choice);
  return base;
}

// Where recovery files of `target` go: beside it, and in the state folder.
struct RecoveryPlace {
  fs::path folder;
  std::string base;  // the names are RecoveryName(base, 1), (base, 2), ...
};

std::vector<RecoveryPlace> RecoveryPlaces(const fs::path& target) {
  const std::string name = target.filename().string();
  std::vector<RecoveryPlace> places{{FolderOf(target), name}};
  if (const std::optional<fs::path> state = StateFolder()) {
    // The folder's path, hashed, tells apart files of one name in two folders.
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(fs::absolute(FolderOf(target), error), error);
    const std::string& text = folder.native();
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(ContentHash(
                      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))));
    places.push_back({*state, name.substr(0, kRecoveryNameKept) + "." + hash});
  }
  return places;
}

// A recovery file on disk, synced with its name, that holds a target's old
// bytes while the target is written in place.
class RecoveryFile {
 public:
  RecoveryFile(FileDescriptor folder, std::string name, fs::path path)
      : folder_(std::move(folder)), name_(std::move(name)), path_(std::move(path)) {}
  const fs::path& Path() const { return path_; }
  // The write it guarded is complete (or undone): the copy is not needed.
  void Remove() {
    ::unlinkat(folder_.Get(), name_.c_str(), 0);
    SyncFolder(folder_.Get());
  }

 private:
  FileDescriptor folder_;
  std::string name_;
  fs::path path_;
};

bool MakeFolder(const fs::path& folder) {
  std::error_code error;
  if (fs::is_directory(folder, error)) return true;
  fs::create_directories(folder.parent_path(), error);
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::optional<RecoveryFile> KeepRecoveryCopy(const fs::path& target, const struct stat& info,
                                             std::span<const std::uint8_t> old) {
  const std::vector<RecoveryPlace> places = RecoveryPlaces(target);
  for (std::size_t at = 0; at < places.size(); ++at) {
    const RecoveryPlace& place = places[at];
    if (at > 0 && !MakeFolder(place.folder)) continue;
    FileDescriptor folder = OpenFolder(place.folder);
    if (!folder.Valid()) continue;
    for (int choice = 1; choice <= kRecoveryChoices; ++choice) {
      const std::string name = RecoveryName(place.base, choice);
      // Nobody may read the copy who may not read the file.
      const NewFileOutcome made = CreateWhole(folder.Get(), name, old, info.st_mode & 0666);
      if (made == NewFileOutcome::AlreadyExists) continue;  // an earlier one is the user's to keep
      if (made == NewFileOutcome::Written) return RecoveryFile(std::move(folder), name, place.folder / name);
      // Its name may not be on disk: no use as a recovery file.
      if (made == NewFileOutcome::WrittenFolderNotSynced) ::unlinkat(folder.Get(), name.c_str(), 0);
      break;
    }
  }
  return std::nullopt;
}

bool IsRecoveryName(std::string_view name, std::string_view base) {
  const std::string exact = RecoveryName(std::string(base), 1);
  if (name == exact) return true;
  if (!name.starts_with(exact + "-")) return false;
  const std::string_view number = name.substr(exact.size() + 1);
  return !number.empty() && std::all_of(number.begin(), number.end(),
                                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// --- Writing ----------------------------------------------------------------

ReplaceResult Outcome(ReplaceOutcome outcome) { return ReplaceResult{outcome, {}}; }

// For targets that cannot be replaced by rename: the target's own bytes are
// overwritten, while a recovery file holds the old bytes, and a write
// failing part way is undone from memory.
ReplaceResult WriteInPlace(const fs::path& target, std::span<const std::uint8_t> bytes) {
  FileDescriptor fd(::open(target.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd.Valid()) return Outcome(ReplaceOutcome::CannotCreate);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return Outcome(ReplaceOutcome::CannotCreate);
  const auto old = ReadWhole(fd.Get(), static_cast<std::size_t>(info.st_size));
  if (!old) return Outcome(ReplaceOutcome::CannotCreate);
  // A kill or a power cut can stop the write at any byte; only a complete
  // copy on disk makes such a file whole again.
  std::optional<RecoveryFile> recovery = KeepRecoveryCopy(target, info, *old);
  if (!recovery) return Outcome(ReplaceOutcome::CannotCreate);
  Step(WriteStep::InPlaceStarting);

  const std::size_t done = WriteAt(fd.Get(), bytes);
  bool shortened = false;
  bool ok = done == bytes.size();
  if (ok && old->size() > bytes.size()) {
    ok = ::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) == 0;
    shortened = ok;
  }
  // Once the bytes are synced they are on disk; what close() says after
  // that changes nothing.
  if (ok && ::fsync(fd.Get()) == 0) {
    recovery->Remove();
    return Outcome(ReplaceOutcome::Written);
  }
  Step(WriteStep::InPlaceCutShort);

  // Only the stretch that was written needs its old bytes back; the rest
  // was never touched (and a size limit would refuse to rewrite it).
  const std::size_t touched = shortened ? old->size() : std::min(done, old->size());
  bool restored = WriteAt(fd.Get(), std::span<const std::uint8_t>(*old).first(touched)) == touched;
  if (done > old->size() || shortened) {
    restored = ::ftruncate(fd.Get(), static_cast<off_t>(old->size())) == 0 && restored;
  }
  restored = ::fsync(fd.Get()) == 0 && restored;
  if (!restored) return ReplaceResult{ReplaceOutcome::ShortWriteNotRestored, recovery->Path().string()};
  recovery->Remove();
  return Outcome(ReplaceOutcome::ShortWrite);
}

bool IsWritable(const fs::path& target, const struct stat& info) {
  // access() always says yes to root, so a file nobody may write counts as
  // read-only whoever saves.
  constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
  return (info.st_mode & kAnyWriteBit) != 0 && ::access(target.c_str(), W_OK) == 0;
}

enum class RenameResult { Written, WrittenFolderNotSynced, ShortWrite, NotPossible };

RenameResult ReplaceByRename(const fs::path& target, const struct stat* existing,
                             std::span<const std::uint8_t> bytes) {
  const FileDescriptor folder = OpenFolder(FolderOf(target));
  if (!folder.Valid()) return RenameResult::NotPossible;
  RemoveAbandonedTemporaries(folder.Get());
  TemporaryNames names;
  std::optional<StagedFile> staged = CreateStagedFile(folder.Get(), bytes.size(), names);
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
  Step(WriteStep::StagedFileNamed);
  // The file stays open, and so locked, until it is renamed: see
  // RemoveAbandonedTemporaries. Its bytes are already synced, so closing
  // it afterwards has nothing left to report.
  const std::string name = target.filename().string();
  if (::renameat(folder.Get(), staged->temporaryName.c_str(), folder.Get(), name.c_str()) != 0) {
    Discard(folder.Get(), *staged);
    return RenameResult::NotPossible;
  }
  return SyncFolder(folder.Get()) ? RenameResult::Written : RenameResult::WrittenFolderNotSynced;
}

}  // namespace

ReplaceResult ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) return Outcome(ReplaceOutcome::CannotCreate);
  const std::optional<fs::path> resolved = ResolveLinks(fs::path(path));
  if (!resolved) return Outcome(ReplaceOutcome::CannotCreate);
  const fs::path& target = *resolved;

  struct stat existing {};
  bool exists = false;
  if (::stat(target.c_str(), &existing) == 0) {
    exists = true;
    // Devices, pipes and folders are never replaced by a ROM file.
    if (!S_ISREG(existing.st_mode)) return Outcome(ReplaceOutcome::CannotCreate);
    if (!IsWritable(target, existing)) return Outcome(ReplaceOutcome::CannotCreate);
    // A rename would leave the other names with the old bytes.
    if (existing.st_nlink > 1) return WriteInPlace(target, bytes);
  } else if (errno != ENOENT) {
    return Outcome(ReplaceOutcome::CannotCreate);
  }

  switch (ReplaceByRename(target, exists ? &existing : nullptr, bytes)) {
    case RenameResult::Written:
      return Outcome(ReplaceOutcome::Written);
    case RenameResult::WrittenFolderNotSynced:
      return Outcome(ReplaceOutcome::WrittenFolderNotSynced);
    case RenameResult::ShortWrite:
      return Outcome(ReplaceOutcome::ShortWrite);
    case RenameResult::NotPossible:
      break;
  }
  return exists ? WriteInPlace(target, bytes) : Outcome(ReplaceOutcome::CannotCreate);
}

FileWriteOutcome WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
  switch (ReplaceFile(path, bytes).outcome) {
    case ReplaceOutcome::Written:
    case ReplaceOutcome::WrittenFolderNotSynced:
      return FileWriteOutcome::Written;
    case ReplaceOutcome::CannotCreate:
      return FileWriteOutcome::CannotCreate;
    case ReplaceOutcome::ShortWrite:
    case ReplaceOutcome::ShortWriteNotRestored:
      return FileWriteOutcome::ShortWrite;
  }
  return FileWriteOutcome::CannotCreate;
}

NewFileOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) return NewFileOutcome::CannotCreate;
  const fs::path target(path);
  const std::string name = target.filename().string();
  const FileDescriptor folder = OpenFolder(FolderOf(target));
  if (name.empty() || !folder.Valid()) return NewFileOutcome::CannotCreate;
  struct stat present {};
  if (::fstatat(folder.Get(), name.c_str(), &present, AT_SYMLINK_NOFOLLOW) == 0) {
    return NewFileOutcome::AlreadyExists;
  }
  return CreateWhole(folder.Get(), name, bytes);
}

std::vector<std::string> RecoveryFilesFor(const std::string& path) {
  std::vector<std::string> found;
  if (path.empty()) return found;
  const std::optional<fs::path> target = ResolveLinks(fs::path(path));
  if (!target) return found;
  for (const RecoveryPlace& place : RecoveryPlaces(*target)) {
    std::error_code error;
    for (fs::directory_iterator entry(place.folder, error), end; !error && entry != end; entry.increment(error)) {
      if (IsRecoveryName(entry->path().filename().string(), place.base)) found.push_back(entry->path().string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace kestrin
