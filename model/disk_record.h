#pragma once
// What the editor last read from or wrote to its files, so that Save can
// tell when another program changed one in the meantime, and what Save
// must ask before it writes.

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
  // Absent when the bytes could not be read, or are more than an image's.
  std::optional<std::uint64_t> contentHash;

  bool operator==(const FileFingerprint&) const = default;
};

struct DiskRecord {
  std::string path;  // as the image writer names it
  FileFingerprint fingerprint;
};

// 64-bit FNV-1a: enough to tell a changed file from an unchanged one; the
// size, time and inode are compared as well.
std::uint64_t ContentHash(std::span<const std::uint8_t> bytes);

// The regular file at `path` (links followed) as it stands now; nothing
// when there is none. Its bytes are read and hashed only when it is no
// longer than an image, and never more than one byte past that.
std::optional<FileFingerprint> FingerprintOnDisk(const std::string& path);

enum class DiskChange {
  Unchanged,
  Changed,
  // The file is there, its size, place and time match, but its bytes cannot
  // be read: whether they changed is unknown.
  CannotCheck,
  Gone,  // no regular file at the path any more
};

// Compares the file at `path` with `expected`: size, inode and modification
// time first, the bytes (at most one image and one byte) only when those
// match.
DiskChange CompareWithDisk(const std::string& path, const FileFingerprint& expected);

// The record for a file the editor has just read or written: `bytes` are
// what went across, the rest is what the file system says now. A byte
// changed by someone else in between makes the next check see a change.
std::optional<DiskRecord> RecordTransfer(const std::string& path, std::span<const std::uint8_t> bytes);

// Whether `path` (as given to the image writer) names a file the editor
// read or wrote since the last Open.
bool IsRecordedFile(const EditingState& state, const std::string& path);

// Records the image as just saved to `path` (as given to the image writer).
void RecordSaved(EditingState& state, const std::string& path);

enum class SaveKind { Save, SaveAs };

enum class SaveRisk {
  None,
  // A file stands at the written path that this editor did not read or
  // write since the last Open; Save as counts every existing file so.
  ReplacesOtherFile,
  // A file the editor read or wrote was changed by another program since.
  ChangedOnDisk,
  // A file the editor read or wrote can no longer be read to tell.
  CannotCheck,
};

struct SaveCheck {
  std::string target;  // the path the image writer writes
  SaveRisk risk = SaveRisk::None;
  std::optional<FileFingerprint> seen;  // the target as it stood when checked
};

// What writing the image to `path` (as given to the image writer) would
// put at risk, for the caller to ask about.
SaveCheck CheckBeforeSaving(const EditingState& state, const std::string& path, SaveKind kind);

// Whether the target still stands as `check` saw it, so that an answer
// given about it still holds.
bool StillAsChecked(const SaveCheck& check);

}  // namespace kestrin
