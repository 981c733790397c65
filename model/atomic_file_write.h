#pragma once
// Putting a file on disk whole or not at all. The bytes go to a nameless
// file in the target's folder, which gets a short name and is renamed over
// the target only once it is complete and on disk. The only place of the
// data layer that talks to the operating system directly.

#include <cstdint>
#include <span>
#include <string>

namespace kestrin {

enum class FileWriteOutcome {
  Written,
  // The target could not be created or replaced (read-only file or folder,
  // a folder or device in the way, ...). Nothing on disk changed.
  CannotCreate,
  // Fewer bytes than asked for reached the disk. The target still holds its
  // old bytes: a new file is dropped, and a target written in place gets its
  // old bytes back (unless the disk refuses even those).
  ShortWrite,
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
// are read first and written back if the write fails part way. A target
// whose bytes cannot be read is then refused.
FileWriteOutcome WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

enum class NewFileOutcome {
  Written,
  AlreadyExists,  // something stands under the name; it was left alone
  CannotCreate,
  ShortWrite,  // nothing is left under the name
};

// Creates `path` holding `bytes` and never replaces anything: the name
// appears with the whole content or not at all. Symbolic links at `path`
// count as existing.
NewFileOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace kestrin
