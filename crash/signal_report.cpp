#include "signal_report.h"

#include <charconv>
#include <sstream>

#include "report_file.h"

namespace kestrin::crash {

namespace {

// The text after "Name: " up to " (".
std::string NameOf(const std::string& line) {
  const auto start = line.find(": ") + 2;
  return line.substr(start, line.find(" (", start) - start);
}

// The number `text` starts with; `fallback` when it starts with none.
template <typename Number>
Number NumberAt(const std::string& text, std::size_t at, int base, Number fallback = 0) {
  Number value = fallback;
  if (at >= text.size()) return fallback;
  const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value, base);
  return error == std::errc() ? value : fallback;
}

}  // namespace

SignalReport ReadLastReport(const std::string& fileText) {
  SignalReport report;
  const auto start = fileText.rfind(kReportTitle);
  if (start == std::string::npos) return report;
  report.text = fileText.substr(start);
  // A last line without its line end was cut in the middle: not read.
  const std::string whole = report.text.substr(0, report.text.rfind('\n') + 1);
  std::istringstream lines(whole);
  std::string section;
  std::string signalName, codeName;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("== ", 0) == 0) {
      section = line;
      continue;
    }
    if (section == "== Failure ==") {
      if (line.rfind("Signal: ", 0) == 0) {
        signalName = NameOf(line);
      }
      if (line.rfind("Code: ", 0) == 0) codeName = NameOf(line);
      if (line.rfind("Thread: ", 0) == 0) report.thread = NumberAt<long>(line, 8, 10);
    } else if (section == "== Program ==") {
      if (line.rfind("Process id: ", 0) == 0) report.pid = NumberAt<long>(line, 12, 10);
    } else if (section == "== Stack frames (raw) ==") {
      // "#N 0x" and sixteen digits, as the handler writes them.
      const auto hex = line.find(" 0x");
      if (line.rfind("#", 0) == 0 && hex != std::string::npos && line.size() == hex + 3 + 16) {
        const auto address = NumberAt<std::uintptr_t>(line, hex + 3, 16, 0);
        if (address != 0) report.frames.push_back(address);
      }
    } else if (section == "== Modules ==") {
      report.modules += line + '\n';
    }
  }
  report.signal = signalName + " (" + codeName + ")";
  return report;
}

CompletedReport CompleteSignalReport(const std::string& reportPath, long pid, bool handlerFinished,
                                     const std::function<std::string(const SignalReport&)>& moreSections) {
  std::string fileText;
  ReadReportFile(reportPath, fileText);
  SignalReport report = ReadLastReport(fileText);
  CompletedReport completed;
  if (report.text.empty() || report.pid == 0 || report.pid != pid) {
    completed.error = "the crashed program could not write to " + reportPath;
    report = SignalReport{};
    completed.text = moreSections(report);
    return completed;
  }
  // The report file ends where the handler stopped; a line cut in the
  // middle gets its end first.
  std::string more = report.text.empty() || report.text.back() == '\n' ? "" : "\n";
  if (!handlerFinished) more += kCutShortLine;
  more += moreSections(report);
  completed.text = report.text + more;
  const AppendResult appended = AppendToLastReport(reportPath, more);
  completed.saved = appended.saved;
  completed.error = appended.error;
  if (completed.saved) KeepNewestReports(reportPath);
  return completed;
}

}  // namespace kestrin::crash
