#include "rom_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <span>

#include "atomic_file_write.h"
#include "disk_record.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoSuchFile = "Apparently, this file doesn't even exist!\n";
constexpr const char* kNotKestrinRom = "Doesn't look like Kestrin rom...\n";
constexpr const char* kNoMemory = "Error allocating memory for file.\n";
constexpr const char* kShortRead = "Error copying file into buffer\n";
constexpr const char* kShortWrite = "Error while writing file!\n";

bool Fail(const char* text, std::string* report = nullptr) {
  std::cout << text << std::flush;
  if (report != nullptr) *report = text;
  return false;
}

// The bytes to write: nothing when nothing is loaded or the size is one the
// image cannot back, as an empty or cut file must never replace a ROM.
std::optional<std::span<const std::uint8_t>> ImageToWrite(const EditingState& state) {
  if (state.romSize <= 0 || static_cast<std::size_t>(state.romSize) > state.romImage.size()) return std::nullopt;
  return std::span<const std::uint8_t>(state.romImage.data(), static_cast<std::size_t>(state.romSize));
}

ReplaceResult WriteWholeImage(const EditingState& state, const std::string& target) {
  const auto bytes = ImageToWrite(state);
  if (!bytes) return {};
  ReplaceResult result = ReplaceFile(target, *bytes);
  if (result.outcome == ReplaceOutcome::ShortWrite || result.outcome == ReplaceOutcome::ShortWriteNotRestored) {
    Fail(kShortWrite);
  }
  return result;
}

// Backup names tried before giving up; more would mean something is wrong.
constexpr int kBackupChoices = 1000;

// Whether `path` is a regular file (not a link) holding exactly `bytes`.
bool HoldsExactly(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(fs::path(path), error);
  if (error || !fs::is_regular_file(status)) return false;
  if (fs::file_size(fs::path(path), error) != bytes.size() || error) return false;
  std::ifstream file(path, std::ios::binary);
  std::vector<char> content(bytes.size());
  file.read(content.data(), static_cast<std::streamsize>(content.size()));
  return file.gcount() == static_cast<std::streamsize>(content.size()) &&
         std::equal(content.begin(), content.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(std::istream& file, std::streamoff size,
                                                       std::string* report) {
  std::vector<std::uint8_t> image;
  try {
    image.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    Fail(kNoMemory, report);
    return std::nullopt;
  }
  file.seekg(0, std::ios::beg);
  file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(size));
  if (!file || file.gcount() != size) {
    Fail(kShortRead, report);
    return std::nullopt;
  }
  return image;
}

bool LoadRom(EditingState& state, const std::string& path, std::string* report) {
  // Folders, pipes and devices are refused before anything opens them, so
  // a pipe with no writer cannot hang the program.
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(path), error);
  // A folder cannot be opened as a file; pipes and devices open but have
  // no size to measure.
  if (!fs::exists(status) || fs::is_directory(status)) return Fail(kNoSuchFile, report);
  if (!fs::is_regular_file(status)) return Fail(kNotKestrinRom, report);

  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail(kNoSuchFile, report);
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size != kRomSize) return Fail(kNotKestrinRom, report);

  std::optional<std::vector<std::uint8_t>> image = ReadWholeFile(file, size, report);
  if (!image) return false;

  state.filesOnDisk.clear();
  if (auto record = RecordTransfer(path, *image)) state.filesOnDisk.push_back(std::move(*record));
  state.romImage = std::move(*image);
  state.romSize = static_cast<std::int32_t>(size);
  // The loaded part's positions, lengths and buffers came from the old
  // image; a write-back must never carry them into this one.
  DropPart(state);
  return true;
}

ReplaceResult SaveImage(const EditingState& state, const std::string& path) {
  return WriteWholeImage(state, ImageTargetPath(path));
}

bool WriteImage(const EditingState& state, const std::string& path) {
  const ReplaceOutcome outcome = SaveImage(state, path).outcome;
  return outcome == ReplaceOutcome::Written || outcome == ReplaceOutcome::WrittenFolderNotSynced;
}

BackupResult WriteBackup(const EditingState& state, const std::string& openedPath) {
  const auto bytes = ImageToWrite(state);
  if (!bytes) return {BackupOutcome::Failed, BackupPath(openedPath)};
  for (int choice = 1; choice <= kBackupChoices; ++choice) {
    const std::string candidate = BackupPath(openedPath, choice);
    std::error_code error;
    if (fs::exists(fs::symlink_status(fs::path(candidate), error))) {
      if (HoldsExactly(candidate, *bytes)) return {BackupOutcome::AlreadyThere, candidate};
      continue;
    }
    // Checked again without a gap: a file that appeared meanwhile is kept.
    switch (WriteNewFile(candidate, *bytes)) {
      case NewFileOutcome::Written:
        return {BackupOutcome::Written, candidate};
      case NewFileOutcome::WrittenFolderNotSynced:
        return {BackupOutcome::Written, candidate, false};
      case NewFileOutcome::AlreadyExists:
        if (HoldsExactly(candidate, *bytes)) return {BackupOutcome::AlreadyThere, candidate};
        break;
      case NewFileOutcome::ShortWrite:
        Fail(kShortWrite);
        return {BackupOutcome::Failed, candidate};
      case NewFileOutcome::CannotCreate:
        return {BackupOutcome::Failed, candidate};
    }
  }
  return {BackupOutcome::Failed, BackupPath(openedPath)};
}

}  // namespace kestrin
