#pragma once
// Names for the raw frame addresses a crashed process wrote: the reporter
// runs in another process, so it maps each address through the crashed
// process's module list to a file and an address inside it, and asks
// addr2line (binutils) for the function and file:line.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin::crash {

struct Mapping {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  std::uintptr_t offset = 0;  // file offset of `start`
  std::string path;
};

// The lines of /proc/<pid>/maps (or the report's module section).
std::vector<Mapping> ParseMappings(const std::string& text);

// The link-time address of `fileOffset` in the ELF file `path` (what
// addr2line takes); nothing when the file is not an ELF file or the offset
// lies in no loaded segment.
bool LinkAddress(const std::string& path, std::uintptr_t fileOffset, std::uintptr_t& address);

// "#N function at file:line (module)" lines for `frames` (frame 0 the
// faulting instruction, the others return addresses).
std::string NamedFrames(const std::vector<std::uintptr_t>& frames, const std::vector<Mapping>& mappings);

}  // namespace kestrin::crash
