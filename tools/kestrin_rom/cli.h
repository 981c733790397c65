#pragma once
// kestrin-rom's command line: parses the arguments, runs one command, and
// returns its exit code (exit_codes.h). Data goes to `out`, each error as one
// line to `err`.

#include <ostream>

namespace kestrin::rom_tool {

int RunKestrinRom(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace kestrin::rom_tool
