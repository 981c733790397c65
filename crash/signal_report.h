#pragma once
// Reading back what the fatal-signal handler wrote: the reporter program
// takes the last report of the file and completes it.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin::crash {

struct SignalReport {
  std::string text;        // the last report of the file, from its title line
  std::string signal;      // "SIGSEGV (SEGV_MAPERR)"
  long thread = 0;         // the failing thread
  std::vector<std::uintptr_t> frames;
  std::string modules;     // the module section's lines
};

SignalReport ReadLastReport(const std::string& fileText);

}  // namespace kestrin::crash
