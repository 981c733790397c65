#pragma once
// Where crash reports are kept: "bugreport.txt" in the user's state folder,
// $XDG_STATE_HOME/kestrin-music-editor/ (~/.local/state/kestrin-music-editor/
// when the variable is unset or not absolute). Never the working folder, never
// beside the ROM: a report there would travel with the ROM when its folder is
// shared.
//
// Reports name the user's files and hold screenshots: only the user may read
// them. Folders this code creates are 0700, files 0600, and a file is never
// opened through a symbolic link.

#include <cstddef>
#include <filesystem>
#include <string>

namespace kestrin::crash {

inline constexpr const char* kReportFolderName = "kestrin-music-editor";
inline constexpr const char* kReportFileName = "bugreport.txt";
// The file "Send report" attaches: the newest report only.
inline constexpr const char* kNewestReportFileName = "bugreport-newest.txt";
// The first line of every report, and the line between two reports.
inline constexpr const char* kReportTitle = "Kestrin Music Editor crash report";
inline constexpr const char* kReportSeparator =
    "------------------------------------------------------------------------";
// How many reports bugreport.txt keeps, and how many screenshots the folder.
inline constexpr std::size_t kReportsKept = 10;
inline constexpr std::size_t kScreenshotsKept = 10;

// The state folder for the given XDG_STATE_HOME and HOME values (either may be
// null); empty when neither gives an absolute folder.
std::filesystem::path StateFolderFor(const char* xdgStateHome, const char* home);
// The report file of this process's environment.
std::filesystem::path DefaultReportPath();

// Async-signal-safe. Creates the missing folders of `filePath` (0700) and
// makes its own folder 0700 (it may be older and wider); false when that
// folder cannot be opened.
bool MakeReportFolder(const char* filePath);
// Async-signal-safe. MakeReportFolder, then opens the file for appending:
// created 0600, made 0600 when it was older and wider, never through a
// symbolic link. A file descriptor, or -1 with errno set.
int OpenReportFile(const char* filePath);

struct AppendResult {
  bool saved = false;
  std::string error;  // why not, when not saved
};

// Reads the whole file (never through a symbolic link); false when it
// cannot be read.
bool ReadReportFile(const std::filesystem::path& path, std::string& text);
// Appends `report` to `path`, after a separator line when the file already
// holds something, then keeps only its kReportsKept newest reports.
AppendResult AppendReport(const std::filesystem::path& path, const std::string& report);
// Appends `text` as it is (lines that belong to the last report).
AppendResult AppendToLastReport(const std::filesystem::path& path, const std::string& text);
// Rewrites `path` with only its `kept` newest reports (nothing to do when it
// holds no more).
AppendResult KeepNewestReports(const std::filesystem::path& path, std::size_t kept = kReportsKept);
// Writes `bytes` as a new file `path` (0600; an existing file is replaced
// whole, a symbolic link in its place is not followed).
AppendResult WritePrivateFile(const std::filesystem::path& path, const std::string& bytes);
// Removes all but the `kept` newest screenshots ("bugreport-*.png", whose
// names sort by time) from `folder`.
void KeepNewestScreenshots(const std::filesystem::path& folder, std::size_t kept = kScreenshotsKept);

}  // namespace kestrin::crash
