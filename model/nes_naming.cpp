// The ".nes" scan that names the saved image and the backup file.
#include "rom_file.h"

#include <string>

namespace kestrin {
namespace {
constexpr std::string_view kNesExtension = ".nes";
constexpr std::string_view kBackupSuffix = "_backup";
}  // namespace

std::optional<std::size_t> FindNesExtension(std::string_view path) {
  std::size_t at = 0;
  while (at < path.size()) {
    if (path[at] != '.') {
      ++at;
      continue;
    }
    std::size_t next = at + 1;
    bool matched = true;
    for (const char expected : kNesExtension.substr(1)) {
      if (next >= path.size() || path[next] != expected) {
        matched = false;
        break;
      }
      ++next;
    }
    if (matched) return at;
    // A failed attempt resumes after the mismatching character, so a "."
    // that itself broke the attempt never starts a new one ("a..nes").
    at = next + 1;
  }
  return std::nullopt;
}

std::string ImageTargetPath(std::string_view path) {
  std::string target(path);
  if (!FindNesExtension(path)) target += kNesExtension;
  return target;
}

std::string BackupPath(std::string_view path, int choice) {
  const auto at = FindNesExtension(path);
  std::string backup(path.substr(0, at.value_or(path.size())));
  backup += kBackupSuffix;
  if (choice > 1) backup += "_" + std::to_string(choice);
  backup += kNesExtension;
  return backup;
}

}  // namespace kestrin
