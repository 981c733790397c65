#pragma once
// Reading back what the fatal-signal handler wrote: the reporter program
// takes the last report of the file and completes it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrin::crash {

struct SignalReport {
  std::string text;        // the last report of the file, from its title line
  long pid = 0;            // the process that wrote it
  std::string signal;      // "SIGSEGV (SEGV_MAPERR)"
  long thread = 0;         // the failing thread
  std::vector<std::uintptr_t> frames;
  std::string modules;     // the module section's lines
};

SignalReport ReadLastReport(const std::string& fileText);

struct CompletedReport {
  bool saved = false;
  std::string error;  // why not
  std::string text;   // the whole report, as far as it is known
};

// Appends `moreSections(report)` to the last report of `reportPath`, when
// that report is the one process `pid` wrote (an older report of another
// crash is left alone).
CompletedReport CompleteSignalReport(const std::string& reportPath, long pid,
                                     const std::function<std::string(const SignalReport&)>& moreSections);

}  // namespace kestrin::crash
