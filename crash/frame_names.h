#pragma once
// Names for raw frame addresses. Each address is mapped through the module
// list to a module, the address inside it that addr2line takes, and the
// module's build-id. A frame is named only from what truly covers it: the
// debug information (function and file:line, from the module or from its
// separate debug file, found by build-id) or a symbol whose extent holds the
// address. Otherwise it is given as module+offset and build-id, never with
// the name of the nearest exported symbol, which would send whoever reads
// the report the wrong way.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin::crash {

struct Mapping {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  std::uintptr_t offset = 0;  // file offset of `start`
  std::string path;
  std::string buildId;  // lower-case hex; empty when unknown
};

// The lines of /proc/<pid>/maps, or of the report's module section (where a
// line may end in " (build-id HEX)").
std::vector<Mapping> ParseMappings(const std::string& text);

// The folders that hold separate debug files by build-id
// (".build-id/ab/cdef....debug"): the one of the installation this program
// belongs to (<prefix>/lib/debug beside <prefix>/bin, where the -dbgsym
// package puts them), then the system's /usr/lib/debug.
std::vector<std::string> DebugFoldersOfThisProgram();

// The separate debug file for `buildId` in the first of `debugFolders` that
// has one; empty when none does.
std::string DebugFileFor(const std::string& buildId, const std::vector<std::string>& debugFolders);

enum class FirstFrame {
  Faulting,      // a fatal signal's frame 0 is the faulting instruction itself
  ReturnAddress, // every frame of a throw's trace is a return address
};

// One line per frame:
//   "#N function at file:line"             from debug information
//   "#N function in module"                from a symbol that holds the address
//   "#N module+0xOFFSET (build-id HEX)"    nothing covers it
//   "#N 0xADDRESS"                         in no module
// OFFSET is what addr2line takes for the module or its debug file (for a
// return address, the call before it).
std::string NamedFrames(const std::vector<std::uintptr_t>& frames, const std::vector<Mapping>& mappings,
                        const std::vector<std::string>& debugFolders, FirstFrame first = FirstFrame::Faulting);

}  // namespace kestrin::crash
