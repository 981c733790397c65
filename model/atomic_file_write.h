#pragma once
// Putting a file on disk whole or not at all. The bytes go to a nameless
// file in the target's folder, which gets a short name and is renamed over
// the target only once it is complete and on disk. The only place of the
// data layer that talks to the operating system directly.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrin {

enum class ReplaceOutcome {
  Written,
  // The new bytes are on disk under the target's name, but the folder could
  // not be synced: after a power cut the target may hold its old bytes.
  WrittenFolderNotSynced,
  // The target could not be created or replaced (read-only file or folder,
  // a folder or device in the way, no room for a recovery file, ...).
  // Nothing on disk changed.
  CannotCreate,
  // Fewer bytes than asked for reached the disk. The target holds its old
  // bytes: a new file is dropped, and a target written in place got its old
  // bytes back.
  ShortWrite,
  // A write in place stopped part way and the old bytes could not be put
  // back: the target holds a mix, and its old bytes are in the recovery file.
  ShortWriteNotRestored,
};

struct ReplaceResult {
  ReplaceOutcome outcome = ReplaceOutcome::CannotCreate;
  std::string recoveryPath;  // with ShortWriteNotRestored: where the old bytes are
};

// Writes `bytes` to `path`. Symbolic links are followed: the file at the end
// of the chain is replaced and the links stay. A new file gets 0666 less the
// umask.
//
// An existing target keeps its identity. It is replaced by rename, after its
// owner, group, permission bits and extended attributes (ACLs included) were
// given to the new file. When that is impossible (a second hard link, an
// owner or attribute that cannot be given away, a folder that takes no new
// file, a mount point) the target is written in place instead: its old bytes
// are first written to a recovery file (see RecoveryFilesFor) and synced,
// then the target is written and synced, then the recovery file is removed.
// A write that fails part way gets the old bytes back. A target whose bytes
// cannot be read, or for whose old bytes no recovery file can be written,
// is refused.
//
// Before it stages a file in a folder, the writer removes what a killed
// writer left there: a file named ".kme-" and 8 letters or digits that
// belongs to the saving user, is exactly one ROM image long, is locked by
// nobody and was last written more than a minute ago. Nothing else.
ReplaceResult ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

enum class FileWriteOutcome {
  Written,       // ReplaceOutcome::Written and WrittenFolderNotSynced
  CannotCreate,  // ReplaceOutcome::CannotCreate
  ShortWrite,    // ReplaceOutcome::ShortWrite and ShortWriteNotRestored
};

// ReplaceFile for callers that need only whether the bytes are on disk.
FileWriteOutcome WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

enum class NewFileOutcome {
  Written,
  WrittenFolderNotSynced,  // as ReplaceOutcome::WrittenFolderNotSynced
  AlreadyExists,           // something stands under the name; it was left alone
  CannotCreate,
  ShortWrite,  // nothing is left under the name
};

// Creates `path` holding `bytes` and never replaces anything: the bytes are
// written and synced under a temporary name, which is then linked to `path`,
// so the name appears with the whole content or not at all. Symbolic links
// at `path` count as existing.
NewFileOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// The recovery files that hold the old bytes of `path` (followed through
// symbolic links like ReplaceFile) from writes in place that did not finish:
// "<name>.kme-recovery", "<name>.kme-recovery-2", ... beside the file, or,
// where that folder takes no new file,
// "<name>.<16 hex digits>.kme-recovery", ... in
// $XDG_STATE_HOME/kestrin-music-editor/ (~/.local/state/... without it).
// The writer removes only the recovery file it made itself, once the write
// it guarded is complete; these are left for the user.
std::vector<std::string> RecoveryFilesFor(const std::string& path);

}  // namespace kestrin
