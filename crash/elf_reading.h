#pragma once
// What crash reports read from ELF objects: the build-id of a module loaded
// in this process (from its headers in memory, safe inside a signal handler),
// and, from a module's file, the address addr2line takes and the symbol whose
// extent holds an address.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrin::crash {

// The GNU build-id of the ELF object whose first bytes are mapped at
// [start, end), written in lower-case hex into `hex` (at least 2 * 64 + 1
// bytes; a build-id is 20 bytes in practice). Returns its length in digits, 0
// when there is none or the headers do not lie inside the range.
// Async-signal-safe: it only reads the range.
std::size_t BuildIdInMemory(std::uintptr_t start, std::uintptr_t end, char* hex, std::size_t hexSize);

// The link-time address of `fileOffset` in the ELF file `path` (what
// addr2line takes); false when the file is not an ELF file or the offset
// lies in no loaded segment.
bool LinkAddress(const std::string& path, std::uintptr_t fileOffset, std::uintptr_t& address);

// The demangled name of the function symbol of `path` whose extent
// [value, value + size) holds `address`: from the full symbol table when the
// file has one, else from the dynamic one. Empty when no symbol holds it: the
// nearest symbol before an address is no name for it.
std::string SymbolContaining(const std::string& path, std::uintptr_t address);

}  // namespace kestrin::crash
