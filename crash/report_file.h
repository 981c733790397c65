#pragma once
// Where crash reports are kept: "bugreport.txt" in the user's state folder,
// $XDG_STATE_HOME/kestrin-music-editor/ (~/.local/state/kestrin-music-editor/
// when the variable is unset or not absolute). Never the working folder, never
// beside the ROM: a report there would travel with the ROM when its folder is
// shared.

#include <filesystem>
#include <string>

namespace kestrin::crash {

inline constexpr const char* kReportFolderName = "kestrin-music-editor";
inline constexpr const char* kReportFileName = "bugreport.txt";
// The first line of every report, and the line between two reports.
inline constexpr const char* kReportTitle = "Kestrin Music Editor crash report";
inline constexpr const char* kReportSeparator =
    "------------------------------------------------------------------------";

// The state folder for the given XDG_STATE_HOME and HOME values (either may be
// null); empty when neither gives an absolute folder.
std::filesystem::path StateFolderFor(const char* xdgStateHome, const char* home);
// The report file of this process's environment.
std::filesystem::path DefaultReportPath();

struct AppendResult {
  bool saved = false;
  std::string error;  // why not, when not saved
};

// Creates the folder when needed and appends `report` to `path`, after a
// separator line when the file already holds something.
AppendResult AppendReport(const std::filesystem::path& path, const std::string& report);

}  // namespace kestrin::crash
