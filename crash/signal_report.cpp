#include "signal_report.h"

#include <sstream>

#include "report_file.h"

namespace kestrin::crash {

namespace {

// The text after "Name: " up to " (".
std::string NameOf(const std::string& line) {
  const auto start = line.find(": ") + 2;
  return line.substr(start, line.find(" (", start) - start);
}

}  // namespace

SignalReport ReadLastReport(const std::string& fileText) {
  SignalReport report;
  const auto start = fileText.rfind(kReportTitle);
  if (start == std::string::npos) return report;
  report.text = fileText.substr(start);
  std::istringstream lines(report.text);
  std::string section;
  std::string signalName, codeName;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("== ", 0) == 0) {
      section = line;
      continue;
    }
    if (section == "== Failure ==") {
      if (line.rfind("Signal: ", 0) == 0) signalName = NameOf(line);
      if (line.rfind("Code: ", 0) == 0) codeName = NameOf(line);
      if (line.rfind("Thread: ", 0) == 0) report.thread = std::stol(line.substr(8));
    } else if (section == "== Stack frames (raw) ==") {
      const auto space = line.find(' ');
      if (line.rfind("#", 0) == 0 && space != std::string::npos)
        report.frames.push_back(std::stoull(line.substr(space + 1), nullptr, 16));
    } else if (section == "== Modules ==") {
      report.modules += line + '\n';
    }
  }
  report.signal = signalName + " (" + codeName + ")";
  return report;
}

}  // namespace kestrin::crash
