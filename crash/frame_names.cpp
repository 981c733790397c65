#include "frame_names.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "elf_reading.h"

namespace kestrin::crash {

namespace {

// Runs `arguments` and returns what it printed; empty when it could not run.
std::string Output(const std::vector<std::string>& arguments) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
  const pid_t child = fork();
  if (child < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return {};
  }
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  close(pipeEnds[0]);
  // Stays 0 when no status can be had (SIGCHLD ignored since start-up): the
  // answer read then counts.
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

std::string Hex(std::uintptr_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << value;
  return text.str();
}

bool IsHex(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// "file:line" with a known file and line number.
bool HasLine(const std::string& place) {
  const auto colon = place.rfind(':');
  return colon != std::string::npos && colon > 0 && place.rfind("??", 0) != 0 && colon + 1 < place.size() &&
         place.find_first_not_of("0123456789", colon + 1) == std::string::npos && place.substr(colon + 1) != "0";
}

struct Lookup {
  std::size_t frame;
  std::uintptr_t address;  // in the module's link-time addresses
  const Mapping* mapping;
};

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
    Mapping mapping;
    const std::string marker = " (build-id ";
    if (const auto at = path.rfind(marker); at != std::string::npos && path.back() == ')') {
      const std::string id = path.substr(at + marker.size(), path.size() - at - marker.size() - 1);
      if (IsHex(id)) {
        mapping.buildId = id;
        path.erase(at);
      }
    }
    try {
      mapping.start = std::stoull(range.substr(0, dash), nullptr, 16);
      mapping.end = std::stoull(range.substr(dash + 1), nullptr, 16);
      mapping.offset = std::stoull(offset, nullptr, 16);
    } catch (const std::exception&) {
      continue;
    }
    mapping.path = path;
    mappings.push_back(std::move(mapping));
  }
  return mappings;
}

std::vector<std::string> DebugFoldersOfThisProgram() {
  std::vector<std::string> folders;
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path own = program.parent_path().parent_path() / "lib" / "debug";
    if (std::filesystem::is_directory(own, error)) folders.push_back(std::filesystem::weakly_canonical(own, error).string());
  }
  if (folders.empty() || folders.front() != "/usr/lib/debug") folders.emplace_back("/usr/lib/debug");
  return folders;
}

std::string DebugFileFor(const std::string& buildId, const std::vector<std::string>& debugFolders) {
  if (buildId.size() < 3 || !IsHex(buildId)) return {};
  std::error_code error;
  for (const std::string& folder : debugFolders) {
    const std::filesystem::path file =
        std::filesystem::path(folder) / ".build-id" / buildId.substr(0, 2) / (buildId.substr(2) + ".debug");
    if (std::filesystem::is_regular_file(file, error)) return file.string();
  }
  return {};
}

std::string NamedFrames(const std::vector<std::uintptr_t>& frames, const std::vector<Mapping>& mappings,
                        const std::vector<std::string>& debugFolders, FirstFrame first) {
  std::vector<std::string> lines(frames.size());
  // Per ELF file to ask (the module or its debug file), the frames in it.
  std::map<std::string, std::vector<Lookup>> byFile;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    // A return address points after the call; the call is one byte before.
    const bool exact = i == 0 && first == FirstFrame::Faulting;
    const std::uintptr_t pc = exact || frames[i] == 0 ? frames[i] : frames[i] - 1;
    lines[i] = "#" + std::to_string(i) + ' ' + Hex(frames[i]);
    for (const Mapping& mapping : mappings) {
      if (pc < mapping.start || pc >= mapping.end) continue;
      const std::string debugFile = DebugFileFor(mapping.buildId, debugFolders);
      const std::string& file = debugFile.empty() ? mapping.path : debugFile;
      // The module's own file, or where it was replaced since, the debug
      // file, which keeps the module's program headers.
      std::uintptr_t address = 0;
      const std::uintptr_t fileOffset = pc - mapping.start + mapping.offset;
      if (!LinkAddress(mapping.path, fileOffset, address) && !LinkAddress(file, fileOffset, address)) {
        lines[i] += " in " + mapping.path;
        if (!mapping.buildId.empty()) lines[i] += " (build-id " + mapping.buildId + ")";
        break;
      }
      lines[i] = "#" + std::to_string(i) + ' ' + mapping.path + '+' + Hex(address);
      if (!mapping.buildId.empty()) lines[i] += " (build-id " + mapping.buildId + ")";
      byFile[file].push_back({i, address, &mapping});
      break;
    }
  }
  for (const auto& [file, lookups] : byFile) {
    std::vector<std::string> arguments{"addr2line", "-C", "-f", "-e", file};
    for (const Lookup& lookup : lookups) arguments.push_back(Hex(lookup.address));
    std::istringstream answer(Output(arguments));
    for (const Lookup& lookup : lookups) {
      std::string function, place;
      const bool answered = std::getline(answer, function) && std::getline(answer, place);
      const std::string prefix = "#" + std::to_string(lookup.frame) + ' ';
      // addr2line falls back on the nearest symbol when it has no line
      // information for the address ("??:0", "file.cpp:?"): only a line it
      // knows vouches for the name.
      const std::string at = place.substr(0, place.find(" (discriminator"));
      if (answered && function != "??" && HasLine(at)) {
        lines[lookup.frame] = prefix + function + " at " + at;
        continue;
      }
      const std::string symbol = SymbolContaining(file, lookup.address);
      if (!symbol.empty()) lines[lookup.frame] = prefix + symbol + " in " + lookup.mapping->path;
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

}  // namespace kestrin::crash
