#include "disk_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "editing_state.h"
#include "rom_file.h"

namespace kestrin {
namespace {

FileFingerprint FromStatus(const struct stat& info) {
  FileFingerprint print;
  print.size = static_cast<std::uint64_t>(info.st_size);
  print.device = static_cast<std::uint64_t>(info.st_dev);
  print.inode = static_cast<std::uint64_t>(info.st_ino);
  print.modifiedSeconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  print.modifiedNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return print;
}

std::span<const std::uint8_t> ImageBytes(const EditingState& state) {
  if (state.romSize <= 0 || static_cast<std::size_t>(state.romSize) > state.romImage.size()) return {};
  return {state.romImage.data(), static_cast<std::size_t>(state.romSize)};
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
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<FileFingerprint> print;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    if (done == bytes.size()) {
      print = FromStatus(info);
      print->contentHash = ContentHash(bytes);
    }
  }
  ::close(fd);
  return print;
}

std::optional<DiskRecord> RecordTransfer(const std::string& path, std::span<const std::uint8_t> bytes) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  DiskRecord record{path, FromStatus(info)};
  record.fingerprint.contentHash = ContentHash(bytes);
  return record;
}

bool IsRecordedFile(const EditingState& state, const std::string& path) {
  return state.lastSeenOnDisk && state.lastSeenOnDisk->path == ImageTargetPath(path);
}

bool ChangedOnDiskSinceRecorded(const EditingState& state, const std::string& path) {
  if (!IsRecordedFile(state, path)) return false;
  const DiskRecord& record = *state.lastSeenOnDisk;
  const std::optional<FileFingerprint> now = FingerprintOnDisk(record.path);
  return now && *now != record.fingerprint;
}

void RecordSaved(EditingState& state, const std::string& path) {
  state.lastSeenOnDisk = RecordTransfer(ImageTargetPath(path), ImageBytes(state));
}

}  // namespace kestrin
