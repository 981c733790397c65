#pragma once
// Reading the ROM file into the image and writing the image out again.
// Failures are reported as one line on standard output; the callers decide
// what the user sees.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "atomic_file_write.h"
#include "editing_state.h"

namespace kestrin {

// Reads the file at `path` into state.romImage if it is exactly kRomSize
// bytes long, records what was read (state.filesOnDisk) and drops the
// part loaded from the previous image. On failure the state is left exactly
// as it was, and the line printed is also put in `report` when one is given,
// for a window to show.
bool LoadRom(EditingState& state, const std::string& path, std::string* report = nullptr);

// The loader's read: `size` bytes from the start of `file` into a new
// buffer with one read. Nothing when no buffer of that size can be had or
// fewer bytes arrive (a file that shrank after it was measured); the line
// printed is also put in `report`.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(std::istream& file, std::streamoff size,
                                                       std::string* report = nullptr);

// Writes the whole image to `path`, or to `path` + ".nes" when the path holds
// no ".nes" (see ReplaceFile). Nothing is written without an image.
ReplaceResult SaveImage(const EditingState& state, const std::string& path);
// SaveImage, true when the image is on disk.
bool WriteImage(const EditingState& state, const std::string& path);

enum class BackupOutcome {
  Written,      // the image went to `BackupResult::path`
  AlreadyThere,  // `BackupResult::path` already holds exactly the image
  Failed,
};

struct BackupResult {
  BackupOutcome outcome = BackupOutcome::Failed;
  std::string path;  // the file written or found; the first name tried on failure
  // False when the backup was written but its folder could not be synced:
  // after a power cut the name may be gone.
  bool folderSynced = true;
};

// Writes the whole image to the backup file named after the opened path
// (whole or not at all, see WriteNewFile), never replacing an existing file: a file under that name that holds
// exactly the image is kept as the backup; one holding anything else is
// left alone and the image goes to the first free name of
// <name>_backup_2.nes, <name>_backup_3.nes, ...
BackupResult WriteBackup(const EditingState& state, const std::string& openedPath);

// Position of the first ".nes" in `path` by the editor's scan rule (a failed
// attempt resumes after the mismatching character), or nothing.
std::optional<std::size_t> FindNesExtension(std::string_view path);

// The file name the image writer writes for `path`.
std::string ImageTargetPath(std::string_view path);

// The backup file name for the opened `path`; from the second choice on,
// "_backup_<choice>.nes".
std::string BackupPath(std::string_view path, int choice = 1);

}  // namespace kestrin
