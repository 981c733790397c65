#include "rom_files.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "atomic_file_write.h"
#include "rom_file.h"

namespace kestrin::rom_tool {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kLargestPatch = 64u << 20;

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

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadRom(const std::string& path, std::string& error) {
  EditingState state;
  CaptureStandardOutput capture;
  if (!LoadRom(state, path)) {
    error = capture.Text();
    if (error.empty()) error = "cannot be loaded";
    return std::nullopt;
  }
  return std::move(state.romImage);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string& error) {
  std::error_code code;
  const auto status = fs::status(path, code);
  if (!fs::exists(status)) {
    error = "no such file";
    return std::nullopt;
  }
  if (!fs::is_regular_file(status)) {
    error = "not a regular file";
    return std::nullopt;
  }
  if (fs::file_size(path, code) > kLargestPatch || code) {
    error = "too large for a patch";
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
