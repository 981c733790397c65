#include "report_sections.h"

#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "elf_reading.h"

namespace kestrin::crash {

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without the
// C library: gmtime_r is not async-signal-safe.
void CivilFromDays(long long days, long long& year, int& month, int& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

void TwoDigits(SafeWriter& out, long long value) {
  if (value < 10) out.Text("0");
  out.Decimal(value);
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Title(const char* title) { return std::string("== ") + title + " ==\n"; }

}  // namespace

void WriteTitle(SafeWriter& out, const char* title) { out.Text("== ").Text(title).Text(" ==").Line(); }

void WriteUtcTime(SafeWriter& out, std::time_t when) {
  const long long seconds = static_cast<long long>(when);
  long long days = seconds / 86400;
  long long rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  long long year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(days, year, month, day);
  out.Decimal(year).Text("-");
  TwoDigits(out, month);
  out.Text("-");
  TwoDigits(out, day);
  out.Text(" ");
  TwoDigits(out, rest / 3600);
  out.Text(":");
  TwoDigits(out, rest / 60 % 60);
  out.Text(":");
  TwoDigits(out, rest % 60);
  out.Text(" UTC");
}

void WriteHeader(SafeWriter& out, std::time_t when, const char* program, const char* version,
                 const char* executable, const char* commandLine, std::size_t commandLineSize,
                 long pid) {
  WriteTitle(out, "Time");
  WriteUtcTime(out, when);
  out.Line();
  WriteTitle(out, "Program");
  out.Text(program).Text(" ").Text(version).Line();
  out.Text("Executable: ").Text(executable).Line();
  out.Text("Command line:");
  // The arguments are NUL-separated; the last one ends in a NUL too.
  std::size_t start = 0;
  for (std::size_t i = 0; i < commandLineSize; ++i) {
    if (commandLine[i] != '\0') continue;
    out.Text(" ").Bytes(commandLine + start, i - start);
    start = i + 1;
  }
  out.Line();
  out.Text("Process id: ").Decimal(pid).Line();
}

namespace {

// The fields of one line of /proc/self/maps that the module list needs.
struct MapsLine {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  std::uintptr_t offset = 0;
  const char* permissions = nullptr;
  const char* path = nullptr;  // from the first '/', or null
  std::size_t pathLength = 0;
};

// Reads a hex number up to `stop`; false when something else comes first.
bool HexUpTo(const char*& at, const char* end, char stop, std::uintptr_t& value) {
  value = 0;
  const char* first = at;
  for (; at < end && *at != stop; ++at) {
    const char c = *at;
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    value = value << 4 | static_cast<std::uintptr_t>(digit);
  }
  if (at == end || at == first) return false;
  ++at;
  return true;
}

// "start-end perms offset dev inode path".
bool ParseMapsLine(const char* text, std::size_t length, MapsLine& line) {
  const char* at = text;
  const char* end = text + length;
  if (!HexUpTo(at, end, '-', line.start) || !HexUpTo(at, end, ' ', line.end) || end - at < 5) return false;
  line.permissions = at;
  at += 5;
  if (!HexUpTo(at, end, ' ', line.offset)) return false;
  line.path = nullptr;
  for (; at < end; ++at) {
    if (*at == '/') {
      line.path = at;
      line.pathLength = static_cast<std::size_t>(end - at);
      break;
    }
  }
  return true;
}

}  // namespace

void WriteModules(SafeWriter& out) {
  WriteTitle(out, "Modules");
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    out.Text("(/proc/self/maps cannot be read)").Line();
    return;
  }
  // Copies the lines of executable mappings of files, one line at a time,
  // each with its module's build-id. That is read from the module's headers
  // in memory, the mapping at file offset 0 of the same file.
  char line[512];
  std::size_t length = 0;
  bool overlong = false;
  char headerPath[512];
  std::size_t headerPathLength = 0;
  std::uintptr_t headerStart = 0;
  std::uintptr_t headerEnd = 0;
  auto finishLine = [&] {
    MapsLine maps;
    if (!overlong && ParseMapsLine(line, length, maps) && maps.path != nullptr && maps.permissions[0] == 'r') {
      if (maps.offset == 0) {
        for (std::size_t i = 0; i < maps.pathLength; ++i) headerPath[i] = maps.path[i];
        headerPathLength = maps.pathLength;
        headerStart = maps.start;
        headerEnd = maps.end;
      }
      if (maps.permissions[2] == 'x') {
        out.Bytes(line, length);
        bool samePath = headerPathLength == maps.pathLength;
        for (std::size_t i = 0; samePath && i < maps.pathLength; ++i) samePath = headerPath[i] == maps.path[i];
        char buildId[2 * 64 + 1];
        if (samePath && BuildIdInMemory(headerStart, headerEnd, buildId, sizeof buildId) > 0)
          out.Text(" (build-id ").Text(buildId).Text(")");
        out.Line();
      }
    }
    length = 0;
    overlong = false;
  };
  char chunk[1024];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      if (chunk[i] == '\n') {
        finishLine();
      } else if (length < sizeof line) {
        line[length++] = chunk[i];
      } else {
        overlong = true;
      }
    }
  }
  if (length > 0) finishLine();
  close(fd);
}

void WriteEditorState(SafeWriter& out, const EditorFacts& facts) {
  WriteTitle(out, "Editor state");
  out.Text("File opened: ");
  if (facts.fileLoaded && facts.fileName != nullptr) {
    out.Text(facts.fileName).Line();
  } else {
    out.Text("none").Line();
    return;
  }
  if (facts.songChosen) {
    out.Text("Song set: ").Decimal(facts.songSet).Line();
    out.Text("First, last and loop part: ").Decimal(facts.firstPart).Text(", ");
    out.Decimal(facts.lastPart).Text(", ").Decimal(facts.loopPart).Line();
  } else {
    out.Text("Song set: none chosen").Line();
  }
  if (facts.partLoaded) {
    out.Text("Part loaded: header at ").Hex(static_cast<std::uintptr_t>(facts.headerPosition));
    out.Text(", Square 1 stream of ").Decimal(facts.square1Length).Text(" bytes").Line();
  } else {
    out.Text("Part loaded: none").Line();
  }
}

void WriteFrameLines(SafeWriter& out, const void* const* frames, std::size_t count, std::uintptr_t pc) {
  std::size_t first = 0;
  if (pc != 0) {
    // Frames above the failing instruction are the handler's own.
    while (first < count && reinterpret_cast<std::uintptr_t>(frames[first]) != pc) ++first;
    if (first == count) {
      // The unwinder did not get through the signal frame: at least the fault.
      out.Text("#0 ").Hex(pc, 16).Line();
      return;
    }
  }
  for (std::size_t i = first; i < count && frames[i] != nullptr; ++i) {
    out.Text("#").Decimal(static_cast<long long>(i - first)).Text(" ");
    out.Hex(reinterpret_cast<std::uintptr_t>(frames[i]), 16).Line();
  }
}

std::vector<ThreadInfo> ThreadsOf(long pid) {
  std::vector<ThreadInfo> threads;
  std::error_code error;
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
    ThreadInfo thread;
    try {
      thread.id = std::stol(entry.path().filename().string());
    } catch (const std::exception&) {
      continue;
    }
    thread.name = ReadFirstLine((entry.path() / "comm").string());
    std::ifstream status(entry.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("State:", 0) == 0) {
        const auto start = line.find_first_not_of(" \t", 6);
        thread.state = start == std::string::npos ? std::string() : line.substr(start);
      }
    }
    threads.push_back(std::move(thread));
  }
  std::sort(threads.begin(), threads.end(),
            [](const ThreadInfo& a, const ThreadInfo& b) { return a.id < b.id; });
  return threads;
}

std::string ThreadsSection(long pid, long failingThread) {
  std::string text = Title("Threads");
  const std::vector<ThreadInfo> threads = ThreadsOf(pid);
  if (threads.empty()) return text + "(none left: the program has ended)\n";
  for (const ThreadInfo& thread : threads) {
    text += std::to_string(thread.id) + " \"" + thread.name + "\" " + thread.state;
    if (thread.id == failingThread) text += " [failed: its trace is above]";
    text += '\n';
  }
  text += "(the other threads are not traced: stopping them safely is not possible here)\n";
  return text;
}

std::string SystemSection(const std::vector<std::string>& extraLines) {
  std::string text = Title("System");
  struct utsname names {};
  if (uname(&names) == 0) {
    text += std::string("Kernel: ") + names.sysname + ' ' + names.release + ' ' + names.version + ' ' +
            names.machine + '\n';
  }
  std::string distribution = "unknown";
  std::istringstream osRelease(ReadWholeFile("/etc/os-release"));
  for (std::string line; std::getline(osRelease, line);) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    distribution = line.substr(12);
    distribution.erase(std::remove(distribution.begin(), distribution.end(), '"'), distribution.end());
  }
  text += "Distribution: " + distribution + '\n';
  std::istringstream memInfo(ReadWholeFile("/proc/meminfo"));
  for (std::string line; std::getline(memInfo, line);) {
    if (line.rfind("MemTotal:", 0) == 0 || line.rfind("MemAvailable:", 0) == 0) {
      const auto colon = line.find(':');
      const auto value = line.find_first_not_of(' ', colon + 1);
      text += "Memory " + line.substr(0, colon) + ": " + line.substr(value) + '\n';
    }
  }
  const char* locale = std::setlocale(LC_CTYPE, nullptr);
  text += std::string("Locale: ") + (locale != nullptr ? locale : "unknown");
  for (const char* variable : {"LANG", "LC_ALL"}) {
    if (const char* value = std::getenv(variable); value != nullptr)
      text += std::string(", ") + variable + '=' + value;
  }
  text += '\n';
  for (const std::string& line : extraLines) text += line + '\n';
  return text;
}

}  // namespace kestrin::crash
