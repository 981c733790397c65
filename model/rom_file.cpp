#include "rom_file.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <span>

#include "atomic_file_write.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoSuchFile = "Apparently, this file doesn't even exist!\n";
constexpr const char* kNotKestrinRom = "Doesn't look like Kestrin rom...\n";
constexpr const char* kNoMemory = "Error allocating memory for file.\n";
constexpr const char* kShortRead = "Error copying file into buffer\n";
constexpr const char* kShortWrite = "Error while writing file!\n";

bool Fail(const char* report) {
  std::cout << report << std::flush;
  return false;
}

bool WriteWholeImage(const EditingState& state, const std::string& target) {
  // Nothing loaded, or a size the image cannot back: there is no image to
  // write, and an empty or cut file must never replace a ROM.
  if (state.romSize <= 0 || static_cast<std::size_t>(state.romSize) > state.romImage.size()) return false;
  const std::span<const std::uint8_t> bytes(state.romImage.data(), static_cast<std::size_t>(state.romSize));
  switch (WriteFileReplacing(target, bytes)) {
    case FileWriteOutcome::Written:
      return true;
    case FileWriteOutcome::CannotCreate:
      return false;
    case FileWriteOutcome::ShortWrite:
      return Fail(kShortWrite);
  }
  return false;
}

}  // namespace

bool LoadRom(EditingState& state, const std::string& path) {
  // Folders, pipes and devices are refused before anything opens them, so
  // a pipe with no writer cannot hang the program.
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(path), error);
  // A folder cannot be opened as a file; pipes and devices open but have
  // no size to measure.
  if (!fs::exists(status) || fs::is_directory(status)) return Fail(kNoSuchFile);
  if (!fs::is_regular_file(status)) return Fail(kNotKestrinRom);

  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail(kNoSuchFile);
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size != kRomSize) return Fail(kNotKestrinRom);

  std::vector<std::uint8_t> image;
  try {
    image.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return Fail(kNoMemory);
  }
  file.seekg(0, std::ios::beg);
  file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(size));
  if (!file || file.gcount() != size) return Fail(kShortRead);

  state.romImage = std::move(image);
  ++state.imageWrites;
  state.romSize = static_cast<std::int32_t>(size);
  // The loaded part's positions, lengths and buffers came from the old
  // image; a write-back must never carry them into this one.
  DropPart(state);
  return true;
}

bool WriteImage(const EditingState& state, const std::string& path) {
  return WriteWholeImage(state, ImageTargetPath(path));
}

bool WriteBackup(const EditingState& state, const std::string& openedPath) {
  return WriteWholeImage(state, BackupPath(openedPath));
}

}  // namespace kestrin
