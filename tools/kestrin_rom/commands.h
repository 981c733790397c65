#pragma once
// The commands of kestrin-rom, one function each, called by the command
// line parser with the arguments it read.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace kestrin::rom_tool {

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

enum class PatchKind : std::uint8_t { Ips, Bps };

// A part as the command line names it: --song and --line, or --set and
// --part; unset options are empty.
struct PartRequest {
  std::optional<std::string> song;
  std::optional<int> line;
  std::optional<int> set;
  std::optional<std::string> part;
};

int RunCheck(const Streams& io, const std::string& rom, bool json);
int RunSongs(const Streams& io, const std::string& rom, bool json);
int RunPart(const Streams& io, const std::string& rom, const PartRequest& request, bool json);
int RunExport(const Streams& io, const std::string& rom, const PartRequest& request);
int RunImport(const Streams& io, const std::string& rom, const std::string& text, const std::string& output);
int RunDiff(const Streams& io, const std::string& original, const std::string& edited, bool json);
int RunMakePatch(const Streams& io, PatchKind kind, const std::string& original, const std::string& edited,
                 const std::string& output);
int RunApply(const Streams& io, const std::string& original, const std::string& patch, const std::string& output);

}  // namespace kestrin::rom_tool
