#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "commands.h"
#include "exit_codes.h"

#ifndef KESTRIN_VERSION
#define KESTRIN_VERSION "0"
#endif

namespace kestrin::rom_tool {
namespace {

constexpr std::array<std::string_view, 9> kCommands{"check", "songs", "part",  "diff", "export",
                                                    "import", "ips",  "bps",  "apply"};

constexpr const char* kFooter = R"help(Usage of each command:
  check ROM [--json]                   problems of songs and parts
  songs ROM [--json]                   the 26 songs and their part lists
  part ROM PART [--json]               one part, decoded
  diff ORIGINAL EDITED [--json]        changed bytes and what they are
  export ROM PART                      one part as text, on standard output
  import ROM TEXT -o OUT               a part's text stored back, written to OUT
  ips ORIGINAL EDITED -o PATCH         write an IPS patch
  bps ORIGINAL EDITED -o PATCH         write a BPS patch
  apply ORIGINAL PATCH -o OUT          apply an IPS or BPS patch

PART names a part in one of two ways:
  --song 01 --line 2   as the window does: the song as the song list names it
                       (01 to 0E, 0F, 10, 20, ... B0) and the line of its part
                       list, 1 for the top line. The window loads part number
                       first part + line - 1; the line shows that part's
                       entry in the part table.
  --set 1 --part 1     the song set and the raw part number, hexadecimal, as
                       the First part and Last part boxes show part numbers
                       (0 to 2B in set 1, 0 to 2C in set 2).
Outputs name parts as the window does: "song 01, line 2 (entry E, part 1)"
is line 2 of song 01, which shows entry E and loads part 1; every line that
loads a part is named. Entries, part numbers and bytes are hexadecimal, line
numbers decimal. Input files are never written.

Exit codes:
  0  done; check found nothing, every changed byte belongs to the music data
  1  check found problems; diff found a byte outside the music data;
     part, export or import names a part the editor cannot load
  2  an input cannot be used: missing, a folder, a device, unreadable, not a
     Kestrin ROM (393232 bytes), a patch that is no patch, is damaged or was
     made for another file, or a part text that cannot be stored (the error
     names its line and column)
  3  the output file could not be written
  4  the command line is wrong: an unknown command, option or song, a line
     the part list does not have, a part number past the part table, or an
     output that would overwrite an input
)help";

std::string CommandList() {
  std::string list;
  for (const std::string_view command : kCommands) list += (list.empty() ? "" : ", ") + std::string(command);
  return list;
}

struct PartOptions {
  std::string song;
  int line = 0;
  int set = 0;
  std::string part;
  CLI::Option* songOption = nullptr;
  CLI::Option* lineOption = nullptr;
  CLI::Option* setOption = nullptr;
  CLI::Option* partOption = nullptr;

  void AddTo(CLI::App& command) {
    songOption = command.add_option("--song", song, "the song as the song list names it: 01 to 0E, 0F, 10, 20, ... B0");
    lineOption = command.add_option("--line", line, "the line of the song's part list, 1 for the top line");
    setOption = command.add_option("--set", set, "song set, 1 or 2 (with --part)")->check(CLI::IsMember({1, 2}));
    partOption = command.add_option("--part", part, "raw part number, hexadecimal (with --set)");
  }

  PartRequest Request() const {
    PartRequest request;
    if (songOption->count() > 0) request.song = song;
    if (lineOption->count() > 0) request.line = line;
    if (setOption->count() > 0) request.set = set;
    if (partOption->count() > 0) request.part = part;
    return request;
  }
};

}  // namespace

int RunKestrinRom(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  // CLI11 answers a misspelt command with a remark about subcommands; a
  // user needs the name and the list.
  if (argc < 2) {
    err << "kestrin-rom: a command is needed: " << CommandList() << " (see kestrin-rom --help)\n";
    return kExitUsage;
  }
  const std::string_view first = argv[1];
  if (!first.starts_with('-') &&
      std::find(kCommands.begin(), kCommands.end(), first) == kCommands.end()) {
    err << "kestrin-rom: unknown command '" << first << "'; the commands are " << CommandList()
        << " (see kestrin-rom --help)\n";
    return kExitUsage;
  }

  CLI::App app{"Checks, lists, compares and patches Kestrin ROM images, and turns parts into text and back, "
               "without a window.",
               "kestrin-rom"};
  app.set_version_flag("--version", std::string("kestrin-rom (Kestrin Music Editor) ") + KESTRIN_VERSION);
  app.require_subcommand(1);
  app.footer(kFooter);

  std::string rom;
  std::string original;
  std::string second;
  std::string output;
  bool json = false;
  PartOptions partOptions;
  PartOptions exportOptions;

  auto* check = app.add_subcommand(
      "check", "Report every problem of the songs and parts the editor shows: a missing iNES header, parts it "
               "cannot load, streams without end byte, overlapping streams, first/last/loop parts out of order, "
               "part lists past the part table, part addresses outside the music bank.");
  check->add_option("ROM", rom, "the ROM image")->required();
  check->add_flag("--json", json, "print JSON");

  auto* songs = app.add_subcommand("songs", "List the 26 songs: set, index, first, last and loop part, part list.");
  songs->add_option("ROM", rom, "the ROM image")->required();
  songs->add_flag("--json", json, "print JSON");

  auto* partCommand = app.add_subcommand(
      "part", "Show a part: its header, its five streams, and Square 1 and Square 2 decoded byte by byte.");
  partCommand->add_option("ROM", rom, "the ROM image")->required();
  partOptions.AddTo(*partCommand);
  partCommand->add_flag("--json", json, "print JSON");

  auto* diff = app.add_subcommand(
      "diff", "List every changed byte and what it belongs to; bytes outside the music data give exit code 1.");
  diff->add_option("ORIGINAL", original, "the ROM before")->required();
  diff->add_option("EDITED", second, "the ROM after")->required();
  diff->add_flag("--json", json, "print JSON");

  auto* exportCommand = app.add_subcommand(
      "export", "Print a part as text: its header and one word per byte of each channel (notes such as C#4, "
                "rest, end, note properties such as i8:1; Triangle, Noise and DMC in hexadecimal).");
  exportCommand->add_option("ROM", rom, "the ROM image")->required();
  exportOptions.AddTo(*exportCommand);

  auto* importCommand = app.add_subcommand(
      "import", "Store a part's text (as export prints it) back into ROM in place, with the editor's write-back, "
                "and write the result to OUT. Text that would change a channel's length, holds an unknown word, or "
                "gives two values to a byte two channels share is refused, naming its line and column, and nothing "
                "is written.");
  importCommand->add_option("ROM", rom, "the ROM image")->required();
  importCommand->add_option("TEXT", second, "the part's text")->required();
  importCommand->add_option("-o,--output", output, "the ROM to write")->required();

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
  if (partCommand->parsed()) return RunPart(io, rom, partOptions.Request(), json);
  if (exportCommand->parsed()) return RunExport(io, rom, exportOptions.Request());
  if (importCommand->parsed()) return RunImport(io, rom, second, output);
  if (diff->parsed()) return RunDiff(io, original, second, json);
  if (ips->parsed()) return RunMakePatch(io, PatchKind::Ips, original, second, output);
  if (bps->parsed()) return RunMakePatch(io, PatchKind::Bps, original, second, output);
  return RunApply(io, original, second, output);
}

}  // namespace kestrin::rom_tool
