#include "disk_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "editing_state.h"
#include "music_bank.h"
#include "rom_file.h"

namespace kestrin {
namespace {

// One byte more than an image, so that a file grown past it shows.
constexpr std::size_t kMostBytesRead = static_cast<std::size_t>(kRomSize) + 1;

FileFingerprint FromStatus(const struct stat& info) {
  FileFingerprint print;
  print.size = static_cast<std::uint64_t>(info.st_size);
  print.device = static_cast<std::uint64_t>(info.st_dev);
  print.inode = static_cast<std::uint64_t>(info.st_ino);
  print.modifiedSeconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  print.modifiedNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return print;
}

bool SameSizePlaceAndTime(const FileFingerprint& a, const FileFingerprint& b) {
  return a.size == b.size && a.device == b.device && a.inode == b.inode && a.modifiedSeconds == b.modifiedSeconds &&
         a.modifiedNanoseconds == b.modifiedNanoseconds;
}

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path)
      // A pipe swapped in after the status was taken must not block the open.
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
  ~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool Valid() const { return fd_ >= 0; }
  // The status of the open regular file; nothing when it is none.
  std::optional<FileFingerprint> Status() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return FromStatus(info);
  }
  // The hash of the bytes and how many there were, reading at most
  // kMostBytesRead; nothing when a read fails.
  std::optional<std::pair<std::uint64_t, std::size_t>> HashContent() const {
    std::vector<std::uint8_t> bytes(kMostBytesRead);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::read(fd_, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::nullopt;
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return std::pair{ContentHash(std::span(bytes).first(done)), done};
  }

 private:
  int fd_;
};

std::span<const std::uint8_t> ImageBytes(const EditingState& state) {
  if (state.romSize <= 0 || static_cast<std::size_t>(state.romSize) > state.romImage.size()) return {};
  return {state.romImage.data(), static_cast<std::size_t>(state.romSize)};
}

const DiskRecord* RecordOf(const EditingState& state, const std::string& target) {
  const auto found = std::find_if(state.filesOnDisk.begin(), state.filesOnDisk.end(),
                                  [&](const DiskRecord& record) { return record.path == target; });
  return found == state.filesOnDisk.end() ? nullptr : &*found;
}

}  // namespace

std::uint64_t ContentHash(std::span<const std::uint8_t> bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::uint8_t byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::optional<FileFingerprint> FingerprintOnDisk(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  FileFingerprint print = FromStatus(info);
  if (print.size >= kMostBytesRead) return print;
  const ReadOnlyFile file(path);
  if (!file.Valid()) return print;
  const std::optional<FileFingerprint> opened = file.Status();
  if (!opened) return print;
  print = *opened;
  if (print.size >= kMostBytesRead) return print;
  if (const auto content = file.HashContent()) {
    print.contentHash = content->first;
    print.size = content->second;  // what was hashed, should the file have moved meanwhile
  }
  return print;
}

DiskChange CompareWithDisk(const std::string& path, const FileFingerprint& expected) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? DiskChange::Gone : DiskChange::CannotCheck;
  }
  if (!S_ISREG(info.st_mode)) return DiskChange::Gone;
  if (!SameSizePlaceAndTime(FromStatus(info), expected)) return DiskChange::Changed;
  // Without a hash to compare, size, place and time are all there is.
  if (!expected.contentHash) return DiskChange::Unchanged;

  const ReadOnlyFile file(path);
  if (!file.Valid()) return DiskChange::CannotCheck;
  const std::optional<FileFingerprint> opened = file.Status();
  if (!opened || !SameSizePlaceAndTime(*opened, expected)) return DiskChange::Changed;
  const auto content = file.HashContent();
  if (!content) return DiskChange::CannotCheck;
  return content->first == *expected.contentHash && content->second == expected.size ? DiskChange::Unchanged
                                                                                      : DiskChange::Changed;
}

std::optional<DiskRecord> RecordTransfer(const std::string& path, std::span<const std::uint8_t> bytes) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  DiskRecord record{path, FromStatus(info)};
  record.fingerprint.contentHash = ContentHash(bytes);
  return record;
}

bool IsRecordedFile(const EditingState& state, const std::string& path) {
  return RecordOf(state, ImageTargetPath(path)) != nullptr;
}

void RecordSaved(EditingState& state, const std::string& path) {
  const std::string target = ImageTargetPath(path);
  std::erase_if(state.filesOnDisk, [&](const DiskRecord& record) { return record.path == target; });
  if (auto record = RecordTransfer(target, ImageBytes(state))) state.filesOnDisk.push_back(std::move(*record));
}

SaveCheck CheckBeforeSaving(const EditingState& state, const std::string& path, SaveKind kind) {
  SaveCheck check;
  check.target = ImageTargetPath(path);
  if (const DiskRecord* record = RecordOf(state, check.target)) {
    switch (CompareWithDisk(check.target, record->fingerprint)) {
      case DiskChange::Unchanged:
        // Save as asks before replacing any file, as its dialog would.
        check.risk = kind == SaveKind::SaveAs ? SaveRisk::ReplacesOtherFile : SaveRisk::None;
        break;
      case DiskChange::Changed:
        check.risk = SaveRisk::ChangedOnDisk;
        break;
      case DiskChange::CannotCheck:
        check.risk = SaveRisk::CannotCheck;
        break;
      case DiskChange::Gone:
        check.risk = SaveRisk::None;  // nothing left to lose
        break;
    }
    if (check.risk != SaveRisk::None) check.seen = FingerprintOnDisk(check.target);
    return check;
  }
  check.seen = FingerprintOnDisk(check.target);
  check.risk = check.seen ? SaveRisk::ReplacesOtherFile : SaveRisk::None;
  return check;
}

bool StillAsChecked(const SaveCheck& check) {
  if (!check.seen) return !FingerprintOnDisk(check.target);
  return CompareWithDisk(check.target, *check.seen) == DiskChange::Unchanged;
}

}  // namespace kestrin
