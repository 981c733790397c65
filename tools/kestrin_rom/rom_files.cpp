#include "rom_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "atomic_file_write.h"
#include "rom_file.h"

namespace kestrin::rom_tool {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kLargestInput = 64u << 20;

// The loader reports on standard output; kestrin-rom keeps that stream for
// its data and passes the report on as an error instead.
class CaptureStandardOutput {
 public:
  CaptureStandardOutput() : previous_(std::cout.rdbuf(captured_.rdbuf())) {}
  ~CaptureStandardOutput() { std::cout.rdbuf(previous_); }
  CaptureStandardOutput(const CaptureStandardOutput&) = delete;
  CaptureStandardOutput& operator=(const CaptureStandardOutput&) = delete;

  std::string Text() const {
    std::string text = captured_.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }

 private:
  std::ostringstream captured_;
  std::streambuf* previous_;
};

// The loader's words for a file that is not there, kept for the tool.
constexpr const char* kNoSuchFile = "Apparently, this file doesn't even exist!";

}  // namespace

std::optional<std::string> WhyUnreadable(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return std::string(kNoSuchFile);
    return "cannot be read: " + std::string(std::strerror(error));
  }
  if (S_ISDIR(status.st_mode)) return std::string("is a folder, not a file");
  if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return std::string("is a device, not a file");
  if (S_ISFIFO(status.st_mode)) return std::string("is a pipe, not a file");
  if (!S_ISREG(status.st_mode)) return std::string("is not a regular file");
  // Opened without reading, to learn whether reading is allowed.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return "cannot be read: " + std::string(std::strerror(errno));
  ::close(descriptor);
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadRom(const std::string& path, std::string& error) {
  if (const auto why = WhyUnreadable(path)) {
    error = *why;
    return std::nullopt;
  }
  EditingState state;
  CaptureStandardOutput capture;
  if (!LoadRom(state, path)) {
    error = capture.Text();
    if (error.empty()) error = "cannot be loaded";
    std::error_code code;
    const auto size = fs::file_size(path, code);
    if (!code && size != static_cast<std::uintmax_t>(kRomSize))
      error += " (" + std::to_string(size) + " bytes; a Kestrin ROM has " + std::to_string(kRomSize) + ")";
    return std::nullopt;
  }
  return std::move(state.romImage);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string& error) {
  if (const auto why = WhyUnreadable(path)) {
    error = *why;
    return std::nullopt;
  }
  std::error_code code;
  if (fs::file_size(path, code) > kLargestInput || code) {
    error = "is larger than 64 MiB";
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    error = "cannot be opened";
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "cannot be read";
    return std::nullopt;
  }
  return bytes;
}

bool WriteOutput(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
  switch (WriteFileReplacing(path, bytes)) {
    case FileWriteOutcome::Written:
      return true;
    case FileWriteOutcome::CannotCreate:
      error = "cannot be created or replaced";
      return false;
    case FileWriteOutcome::ShortWrite:
      error = "could not be written completely";
      return false;
  }
  error = "could not be written";
  return false;
}

bool SameFileAsAny(const std::string& output, std::span<const std::string> inputs) {
  for (const std::string& input : inputs) {
    std::error_code code;
    if (output == input || fs::equivalent(output, input, code)) return true;
  }
  return false;
}

}  // namespace kestrin::rom_tool
