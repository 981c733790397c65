#pragma once
// Reading the ROM file into the image and writing the image out again.
// Failures are reported as one line on standard output; the callers decide
// what the user sees.

#include <optional>
#include <string>
#include <string_view>

#include "editing_state.h"

namespace kestrin {

// Reads the file at `path` into state.romImage if it is exactly kRomSize
// bytes long, and drops the part loaded from the previous image. On failure
// the state is left exactly as it was, and the line printed is also put in
// `report` when one is given, for a window to show.
bool LoadRom(EditingState& state, const std::string& path, std::string* report = nullptr);

// Writes the whole image to `path`, or to `path` + ".nes" when the path holds
// no ".nes". The file on disk is replaced whole or not at all.
bool WriteImage(const EditingState& state, const std::string& path);

// Writes the whole image to the backup file named after the opened path.
bool WriteBackup(const EditingState& state, const std::string& openedPath);

// Position of the first ".nes" in `path` by the editor's scan rule (a failed
// attempt resumes after the mismatching character), or nothing.
std::optional<std::size_t> FindNesExtension(std::string_view path);

// The file name the image writer writes for `path`.
std::string ImageTargetPath(std::string_view path);

// The backup file name for the opened `path`.
std::string BackupPath(std::string_view path);

}  // namespace kestrin
