#pragma once
// What the editor last read from or wrote to its file, so that Save can
// tell when another program changed the file in the meantime.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrin {

struct EditingState;

struct FileFingerprint {
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  std::uint64_t contentHash = 0;

  bool operator==(const FileFingerprint&) const = default;
};

struct DiskRecord {
  std::string path;  // as the image writer names it
  FileFingerprint fingerprint;
};

// 64-bit FNV-1a: enough to tell a changed file from an unchanged one; the
// size, time and inode are compared as well.
std::uint64_t ContentHash(std::span<const std::uint8_t> bytes);

// The file at `path` as it stands now, its bytes read and hashed; nothing
// when it is missing, not a regular file or cannot be read.
std::optional<FileFingerprint> FingerprintOnDisk(const std::string& path);

// The record for a file the editor has just read or written: `bytes` are
// what went across, the rest is what the file system says now. A byte
// changed by someone else in between makes the next check see a change.
std::optional<DiskRecord> RecordTransfer(const std::string& path, std::span<const std::uint8_t> bytes);

// Whether Save to `path` (as given to the image writer) would overwrite
// changes another program made since the file was opened or last saved.
// Only the recorded file is ever in question; a missing or unreadable file
// holds nothing to lose.
bool ChangedOnDiskSinceRecorded(const EditingState& state, const std::string& path);

// Whether `path` (as given to the image writer) names the recorded file.
bool IsRecordedFile(const EditingState& state, const std::string& path);

// Records the image as just saved to `path` (as given to the image writer).
void RecordSaved(EditingState& state, const std::string& path);

}  // namespace kestrin
