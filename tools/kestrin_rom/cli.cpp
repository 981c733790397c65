#include "cli.h"

#include <CLI/CLI.hpp>
#include <string>

#include "commands.h"
#include "exit_codes.h"

#ifndef KESTRIN_VERSION
#define KESTRIN_VERSION "0"
#endif

namespace kestrin::rom_tool {
namespace {

constexpr const char* kFooter = R"(Usage of each command:
  check ROM [--json]                   problems of songs and parts
  songs ROM [--json]                   the 26 songs and their parts
  part ROM --set 1|2 PART [--json]     one part, decoded
  diff ORIGINAL EDITED [--json]        changed bytes and what they are
  ips ORIGINAL EDITED -o PATCH         write an IPS patch
  bps ORIGINAL EDITED -o PATCH         write a BPS patch
  apply ORIGINAL PATCH -o OUT          apply an IPS or BPS patch

Each command has its own --help. Part numbers and the numbers of the song
list are hexadecimal, as in the editor. Input files are never written.

Exit codes:
  0  done; check found nothing, every changed byte belongs to the music data
  1  check found problems; diff found a byte outside the music data;
     part names a part the editor cannot load
  2  an input cannot be used: unreadable, not a Kestrin ROM (393232 bytes),
     or a patch that is no patch, is damaged or was made for another file
  3  the output file could not be written
  4  the command line is wrong (also: an output that would overwrite an input)
)";

}  // namespace

int RunKestrinRom(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Checks, lists, compares and patches Kestrin ROM images without a window.", "kestrin-rom"};
  app.set_version_flag("--version", std::string("kestrin-rom (Kestrin Music Editor) ") + KESTRIN_VERSION);
  app.require_subcommand(1);
  app.footer(kFooter);

  std::string rom;
  std::string original;
  std::string second;
  std::string output;
  std::string part;
  int set = 1;
  bool json = false;

  auto* check = app.add_subcommand(
      "check", "Report every problem of the songs and parts the editor shows: parts it cannot load, streams "
               "without end byte, overlapping streams, first/last/loop parts out of order.");
  check->add_option("ROM", rom, "the ROM image")->required();
  check->add_flag("--json", json, "print JSON");

  auto* songs = app.add_subcommand("songs", "List the 26 songs: set, index, first, last and loop part, part list.");
  songs->add_option("ROM", rom, "the ROM image")->required();
  songs->add_flag("--json", json, "print JSON");

  auto* partCommand = app.add_subcommand(
      "part", "Show a part: its header, its five streams, and Square 1 and Square 2 decoded byte by byte.");
  partCommand->add_option("ROM", rom, "the ROM image")->required();
  partCommand->add_option("--set", set, "song set, 1 or 2")->required()->check(CLI::IsMember({1, 2}));
  partCommand->add_option("PART", part, "part number, hexadecimal (0 to FF)")->required();
  partCommand->add_flag("--json", json, "print JSON");

  auto* diff = app.add_subcommand(
      "diff", "List every changed byte and what it belongs to; bytes outside the music data give exit code 1.");
  diff->add_option("ORIGINAL", original, "the ROM before")->required();
  diff->add_option("EDITED", second, "the ROM after")->required();
  diff->add_flag("--json", json, "print JSON");

  auto* ips = app.add_subcommand("ips", "Write an IPS patch that turns ORIGINAL into EDITED.");
  auto* bps = app.add_subcommand("bps", "Write a BPS patch (with CRC-32 checksums) that turns ORIGINAL into EDITED.");
  for (auto* command : {ips, bps}) {
    command->add_option("ORIGINAL", original, "the clean ROM")->required();
    command->add_option("EDITED", second, "the edited ROM")->required();
    command->add_option("-o,--output", output, "the patch file to write")->required();
  }

  auto* apply = app.add_subcommand(
      "apply", "Apply an IPS or BPS patch (told apart by its first bytes) to ORIGINAL and write the result to OUT. "
               "A BPS patch whose checksums do not match is refused and nothing is written.");
  apply->add_option("ORIGINAL", original, "the clean ROM")->required();
  apply->add_option("PATCH", second, "the IPS or BPS patch")->required();
  apply->add_option("-o,--output", output, "the patched ROM to write")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << '\n';
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
    err << "kestrin-rom: " << e.what() << " (see kestrin-rom --help)\n";
    return kExitUsage;
  }

  const Streams io{out, err};
  if (check->parsed()) return RunCheck(io, rom, json);
  if (songs->parsed()) return RunSongs(io, rom, json);
  if (partCommand->parsed()) return RunPart(io, rom, set, part, json);
  if (diff->parsed()) return RunDiff(io, original, second, json);
  if (ips->parsed()) return RunMakePatch(io, PatchKind::Ips, original, second, output);
  if (bps->parsed()) return RunMakePatch(io, PatchKind::Bps, original, second, output);
  return RunApply(io, original, second, output);
}

}  // namespace kestrin::rom_tool
