#pragma once
// The commands of kestrin-rom, one function each, called by the command
// line parser with the arguments it read.

#include <cstdint>
#include <ostream>
#include <string>

namespace kestrin::rom_tool {

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

enum class PatchKind : std::uint8_t { Ips, Bps };

int RunCheck(const Streams& io, const std::string& rom, bool json);
int RunSongs(const Streams& io, const std::string& rom, bool json);
int RunPart(const Streams& io, const std::string& rom, int set, const std::string& part, bool json);
int RunDiff(const Streams& io, const std::string& original, const std::string& edited, bool json);
int RunMakePatch(const Streams& io, PatchKind kind, const std::string& original, const std::string& edited,
                 const std::string& output);
int RunApply(const Streams& io, const std::string& original, const std::string& patch, const std::string& output);

}  // namespace kestrin::rom_tool
