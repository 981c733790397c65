#pragma once
// Files as kestrin-rom reads and writes them: ROMs through the editor's
// loader, patches whole, outputs through the data layer's durable writer.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrin::rom_tool {

// Why the file at `path` cannot be read, in words for an error line: not
// there, a folder, a device, a pipe, or refused by the system; nothing when
// it is a regular file that can be opened for reading.
std::optional<std::string> WhyUnreadable(const std::string& path);

// The image at `path`, loaded as the editor loads it; on failure `error`
// says why: WhyUnreadable's words, or the loader's own report (without its
// line feed) with the size found.
std::optional<std::vector<std::uint8_t>> ReadRom(const std::string& path, std::string& error);

// The whole file at `path` (at most 64 MiB); on failure `error` says why.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string& error);

// Replaces `path` whole or not at all; on failure `error` says why.
bool WriteOutput(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error);

// True when `output` names the same file as one of `inputs`.
bool SameFileAsAny(const std::string& output, std::span<const std::string> inputs);

}  // namespace kestrin::rom_tool
