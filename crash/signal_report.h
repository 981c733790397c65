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
  long pid = 0;            // the process that wrote it; 0 when unreadable
  std::string signal;      // "SIGSEGV (SEGV_MAPERR)"
  long thread = 0;         // the failing thread
  std::vector<std::uintptr_t> frames;
  std::string modules;     // the module section's lines
};

// Never throws: a report cut short (the crashed program failed again while
// writing it) gives what it holds; a line cut in the middle is left out, and
// numbers that cannot be read stay 0.
SignalReport ReadLastReport(const std::string& fileText);

// The line the reporter adds when the handler did not get to the end of its
// part: what the crashed program wrote stops early.
inline constexpr const char* kCutShortLine =
    "(The crashed program failed again while writing this report: its part ends above. "
    "kestrin-crash-report added what follows.)\n";

struct CompletedReport {
  bool saved = false;
  std::string error;  // why not
  std::string text;   // the whole report, as far as it is known
};

// Appends `moreSections(report)` to the last report of `reportPath`, when
// that report is the one process `pid` wrote (an older report of another
// crash is left alone), after kCutShortLine when the handler did not
// finish; then keeps only the newest reports in the file.
CompletedReport CompleteSignalReport(const std::string& reportPath, long pid, bool handlerFinished,
                                     const std::function<std::string(const SignalReport&)>& moreSections);

}  // namespace kestrin::crash
