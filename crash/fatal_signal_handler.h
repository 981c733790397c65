#pragma once
// The handler of the fatal signals SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGABRT. A crashed process can no longer run Qt or even malloc safely, so
// the handler only writes the first sections of the report with write(2),
// starts the reporter program by fork and exec with the report's path, waits
// for it, and lets the signal take its default action so that core dumps
// still work. It runs on an alternate stack, so a stack overflow is reported
// too.
//
// Its steps are ordered so that a second fault inside it still leaves a
// report and a box: first what cannot fault (signal, registers, the editor
// state copied ahead of time), on disk; then the reporter is started, with a
// pipe as its standard input; then what may fault (module headers read from
// memory, the unwinder's raw frames), each on disk before the next; then
// "done" down the pipe. A second fault goes straight to the default action,
// the pipe closes without "done", and the reporter says the report ends
// early.

#include <string>

namespace kestrin::crash {

inline constexpr const char* kReporterName = "kestrin-crash-report";
// What the handler writes down the reporter's pipe once its part is written.
inline constexpr const char* kHandlerDone = "done\n";

struct FatalSignalSetup {
  std::string program;       // "Kestrin Music Editor"
  std::string version;
  std::string executable;    // this program, for the reporter's "Restart"
  std::string reportPath;    // the report file the sections are appended to
  // Started as: reporter REPORT_PATH PID SIGNAL EXECUTABLE.
  std::string reporterPath;
};

// The setup of the running program: its executable, the reporter beside it
// and the report file of the user's state folder.
FatalSignalSetup SetupForThisProgram(const std::string& program, const std::string& version);

// Installs the handler for the five signals (and the alternate stack of the
// calling thread). Calling it again replaces the setup.
void InstallFatalSignalHandler(const FatalSignalSetup& setup);

// Lets `signal` take its default action from now on.
void RestoreDefaultAction(int signal);

// "SIGSEGV"; "signal N" texts are not needed: null for other signals.
const char* FatalSignalName(int signal);
// "SEGV_MAPERR", "SI_USER", ...; null when unknown.
const char* SignalCodeName(int signal, int code);

}  // namespace kestrin::crash
