#include "signal_report.h"

#include <fstream>
#include <iterator>
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
    } else if (section == "== Program ==") {
      if (line.rfind("Process id: ", 0) == 0) report.pid = std::stol(line.substr(12));
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

CompletedReport CompleteSignalReport(const std::string& reportPath, long pid,
                                     const std::function<std::string(const SignalReport&)>& moreSections) {
  std::ifstream in(reportPath, std::ios::binary);
  const std::string fileText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  SignalReport report = ReadLastReport(fileText);
  CompletedReport completed;
  if (report.text.empty() || report.pid != pid) {
    completed.error = "the crashed program could not write to " + reportPath;
    report = SignalReport{};
    completed.text = moreSections(report);
    return completed;
  }
  const std::string more = moreSections(report);
  completed.text = report.text + more;
  std::ofstream out(reportPath, std::ios::binary | std::ios::app);
  out << more;
  out.flush();
  completed.saved = static_cast<bool>(out);
  if (!completed.saved) completed.error = reportPath + " cannot be written";
  return completed;
}

}  // namespace kestrin::crash
