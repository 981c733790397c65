#pragma once
// Helpers of the data-layer tests: a fresh folder per test, whole-file
// reads and writes, and states holding made-up images.

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editing_state.h"
#include "music_bank.h"

namespace kestrin::testing_support {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "kestrin-model-XXXXXX").string();
    path_ = fs::path(::mkdtemp(pattern.data()));
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::all, ignored);
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  // Names of everything in the folder, so a test can see leftovers.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

// An image offset, which the data layer keeps signed, as an index.
inline std::size_t At(std::int32_t offset) { return static_cast<std::size_t>(offset); }

inline std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// An image of `size` bytes where no two nearby bytes are alike, so a byte
// written to the wrong place shows.
inline std::vector<std::uint8_t> PatternImage(std::uint8_t seed, std::size_t size = static_cast<std::size_t>(kRomSize)) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) ^ (i >> 8));
  return bytes;
}

// Runs `body` in a child process and returns its exit status (or -signal).
template <typename Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Root ignores permission bits, so a child that tests them as root becomes
// the unprivileged user "nobody" first; anyone else stays who they are.
// False when root cannot become nobody.
inline bool DropPrivileges() {
  if (::geteuid() != 0) return true;
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) return false;
  return ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0;
}

inline EditingState StateWithImage(std::vector<std::uint8_t> image) {
  EditingState state;
  state.romSize = static_cast<std::int32_t>(image.size());
  state.romImage = std::move(image);
  return state;
}

}  // namespace kestrin::testing_support
