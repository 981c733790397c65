#include "frame_names.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace kestrin::crash {

namespace {

// Runs `arguments` and returns what it printed; empty when it could not run.
std::string Output(const std::vector<std::string>& arguments) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  const pid_t child = fork();
  if (child < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return {};
  }
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    close(pipeEnds[0]);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<std::size_t>(got));
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

std::string Hex(std::uintptr_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << value;
  return text.str();
}

}  // namespace

std::vector<Mapping> ParseMappings(const std::string& text) {
  std::vector<Mapping> mappings;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string range, permissions, offset, device, inode, path;
    if (!(fields >> range >> permissions >> offset >> device >> inode)) continue;
    std::getline(fields >> std::ws, path);
    const auto dash = range.find('-');
    if (dash == std::string::npos || path.empty() || path[0] != '/') continue;
    try {
      Mapping mapping;
      mapping.start = std::stoull(range.substr(0, dash), nullptr, 16);
      mapping.end = std::stoull(range.substr(dash + 1), nullptr, 16);
      mapping.offset = std::stoull(offset, nullptr, 16);
      mapping.path = path;
      mappings.push_back(std::move(mapping));
    } catch (const std::exception&) {
    }
  }
  return mappings;
}

bool LinkAddress(const std::string& path, std::uintptr_t fileOffset, std::uintptr_t& address) {
  std::ifstream file(path, std::ios::binary);
  Elf64_Ehdr header{};
  if (!file.read(reinterpret_cast<char*>(&header), sizeof header)) return false;
  if (std::string(reinterpret_cast<const char*>(header.e_ident), 4) != "\177ELF" ||
      header.e_ident[EI_CLASS] != ELFCLASS64)
    return false;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    file.seekg(static_cast<std::streamoff>(header.e_phoff + i * header.e_phentsize));
    if (!file.read(reinterpret_cast<char*>(&segment), sizeof segment)) return false;
    if (segment.p_type != PT_LOAD) continue;
    if (fileOffset >= segment.p_offset && fileOffset < segment.p_offset + segment.p_filesz) {
      address = fileOffset - segment.p_offset + segment.p_vaddr;
      return true;
    }
  }
  return false;
}

std::string NamedFrames(const std::vector<std::uintptr_t>& frames, const std::vector<Mapping>& mappings) {
  // Per module, the addresses to ask addr2line about, in frame order.
  struct Lookup {
    std::size_t frame;
    std::uintptr_t address;
  };
  std::map<std::string, std::vector<Lookup>> byModule;
  std::vector<std::string> lines(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    // A return address points after the call; the call is one byte before.
    const std::uintptr_t pc = i == 0 ? frames[i] : frames[i] - 1;
    lines[i] = "#" + std::to_string(i) + ' ' + Hex(frames[i]);
    for (const Mapping& mapping : mappings) {
      if (pc < mapping.start || pc >= mapping.end) continue;
      std::uintptr_t address = 0;
      lines[i] += " in " + mapping.path;
      if (LinkAddress(mapping.path, pc - mapping.start + mapping.offset, address))
        byModule[mapping.path].push_back({i, address});
      break;
    }
  }
  for (const auto& [module, lookups] : byModule) {
    std::vector<std::string> arguments{"addr2line", "-C", "-f", "-e", module};
    for (const Lookup& lookup : lookups) arguments.push_back(Hex(lookup.address));
    std::istringstream answer(Output(arguments));
    for (const Lookup& lookup : lookups) {
      std::string function, place;
      if (!std::getline(answer, function) || !std::getline(answer, place)) break;
      if (function == "??") continue;
      std::string line = "#" + std::to_string(lookup.frame) + ' ' + function;
      line += place.rfind("??", 0) == 0 ? " in " + module : " at " + place.substr(0, place.find(" (discriminator"));
      lines[lookup.frame] = line;
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

}  // namespace kestrin::crash
