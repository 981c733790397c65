#pragma once
// Replacing a file on disk whole or not at all: the bytes go to a new file
// next to the target, which is renamed over it only once it is complete and
// on disk. The only place of the data layer that talks to the operating
// system directly.

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
  // old bytes, unless it had to be written in place (see below).
  ShortWrite,
};

// Writes `bytes` to `path`. Symbolic links are followed: the file at the end
// of the chain is replaced and the links stay. An existing target keeps its
// permission bits (and, where allowed, its owner); a new one gets 0666 less
// the umask. When the folder takes no new file but the target exists and is
// writable, the target is overwritten in place instead.
FileWriteOutcome WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace kestrin
