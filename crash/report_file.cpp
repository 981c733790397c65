#include "report_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

namespace kestrin::crash {

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

AppendResult AppendReport(const std::filesystem::path& path, const std::string& report) {
  if (path.empty()) return {false, "no home folder is known"};
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error) return {false, path.parent_path().string() + ": " + error.message()};
  const auto size = std::filesystem::file_size(path, error);
  const bool holdsSomething = !error && size > 0;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return {false, path.string() + ": " + std::strerror(errno)};
  if (holdsSomething) out << kReportSeparator << '\n';
  out << report;
  out.flush();
  if (!out) return {false, path.string() + ": " + std::strerror(errno)};
  return {true, {}};
}

}  // namespace kestrin::crash
