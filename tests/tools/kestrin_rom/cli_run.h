#pragma once
// Runs kestrin-rom in-process with the given arguments and keeps what it
// printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

namespace kestrin::rom_tool {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

inline CliRun Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "kestrin-rom");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunKestrinRom(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

}  // namespace kestrin::rom_tool
