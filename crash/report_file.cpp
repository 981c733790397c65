#include "report_file.h"

#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrin::crash {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

AppendResult Failed(const std::filesystem::path& path) { return {false, path.string() + ": " + std::strerror(errno)}; }

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Narrows the mode of an object this user owns to `mode`.
void Narrow(int fd, mode_t mode) {
  struct stat status {};
  if (fstat(fd, &status) == 0 && status.st_uid == geteuid() && (status.st_mode & 07777) != mode) fchmod(fd, mode);
}

bool ReadAllOf(const std::filesystem::path& path, std::string& text) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  char chunk[16384];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return false;
    }
    text.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  return true;
}

}  // namespace

std::filesystem::path StateFolderFor(const char* xdgStateHome, const char* home) {
  // The base directory rules ignore relative values.
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/')
    return std::filesystem::path(xdgStateHome) / kReportFolderName;
  if (home != nullptr && home[0] == '/')
    return std::filesystem::path(home) / ".local" / "state" / kReportFolderName;
  return {};
}

std::filesystem::path DefaultReportPath() {
  const std::filesystem::path folder =
      StateFolderFor(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  if (folder.empty()) return {};
  return folder / kReportFileName;
}

bool ReadReportFile(const std::filesystem::path& path, std::string& text) { return ReadAllOf(path, text); }

bool MakeReportFolder(const char* filePath) {
  // Only system calls and a buffer on the stack: the fatal-signal handler
  // calls this too.
  char path[PATH_MAX];
  std::size_t length = 0;
  while (filePath[length] != '\0') {
    if (length + 1 == sizeof path) {
      errno = ENAMETOOLONG;
      return false;
    }
    path[length] = filePath[length];
    ++length;
  }
  while (length > 0 && path[length - 1] != '/') --length;  // the file's name
  if (length <= 1) return true;                             // "/name" or "name"
  path[length - 1] = '\0';
  // mkdir -p, one component at a time.
  for (std::size_t i = 1; i < length - 1; ++i) {
    if (path[i] != '/') continue;
    path[i] = '\0';
    mkdir(path, kFolderMode);
    path[i] = '/';
  }
  mkdir(path, kFolderMode);
  const int folder = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return false;
  Narrow(folder, kFolderMode);
  close(folder);
  return true;
}

int OpenReportFile(const char* filePath) {
  MakeReportFolder(filePath);
  const int fd = open(filePath, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, kFileMode);
  if (fd >= 0) Narrow(fd, kFileMode);
  return fd;
}

AppendResult AppendToLastReport(const std::filesystem::path& path, const std::string& text) {
  if (path.empty()) return {false, "no home folder is known"};
  const int fd = OpenReportFile(path.c_str());
  if (fd < 0) return Failed(path);
  const bool written = WriteAll(fd, text.data(), text.size());
  const AppendResult result = written ? AppendResult{true, {}} : Failed(path);
  close(fd);
  return result;
}

AppendResult AppendReport(const std::filesystem::path& path, const std::string& report) {
  if (path.empty()) return {false, "no home folder is known"};
  const int fd = OpenReportFile(path.c_str());
  if (fd < 0) return Failed(path);
  struct stat status {};
  std::string text;
  if (fstat(fd, &status) == 0 && status.st_size > 0) text = std::string(kReportSeparator) + '\n';
  text += report;
  const bool written = WriteAll(fd, text.data(), text.size());
  const AppendResult result = written ? AppendResult{true, {}} : Failed(path);
  close(fd);
  if (result.saved) KeepNewestReports(path);
  return result;
}

AppendResult KeepNewestReports(const std::filesystem::path& path, std::size_t kept) {
  std::string text;
  if (!ReadReportFile(path, text)) return Failed(path);
  // Each report starts with its title line; the separator line ends the one
  // before it.
  std::vector<std::size_t> starts;
  const std::string title = std::string(kReportTitle) + '\n';
  for (std::size_t at = text.find(title); at != std::string::npos; at = text.find(title, at + 1)) {
    if (at == 0 || text[at - 1] == '\n') starts.push_back(at);
  }
  if (starts.size() <= kept) return {true, {}};
  return WritePrivateFile(path, text.substr(starts[starts.size() - kept]));
}

AppendResult WritePrivateFile(const std::filesystem::path& path, const std::string& bytes) {
  // A new file beside the old one (mkstemp makes it 0600 and never follows a
  // link), then renamed over it: readers see the old or the new file whole.
  std::string pattern = path.string() + ".XXXXXX";
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return Failed(path);
  const bool written = WriteAll(fd, bytes.data(), bytes.size());
  const AppendResult result = written ? AppendResult{true, {}} : Failed(path);
  close(fd);
  if (result.saved && rename(pattern.c_str(), path.c_str()) == 0) return result;
  const AppendResult failed = result.saved ? Failed(path) : result;
  unlink(pattern.c_str());
  return failed;
}

void KeepNewestScreenshots(const std::filesystem::path& folder, std::size_t kept) {
  std::vector<std::filesystem::path> shots;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("bugreport-", 0) == 0 && name.size() > 14 && name.ends_with(".png") &&
        entry.is_regular_file(error) && !entry.is_symlink(error))
      shots.push_back(entry.path());
  }
  if (shots.size() <= kept) return;
  std::sort(shots.begin(), shots.end());
  for (std::size_t i = 0; i + kept < shots.size(); ++i) std::filesystem::remove(shots[i], error);
}

}  // namespace kestrin::crash
