// crash-fault-child MODE REPORT REPORTER: installs the fatal-signal handler
// with the given report file and reporter, then fails:
//   null           dereferences a null pointer
//   abort          calls std::abort
//   handler-fault  as null, and the handler itself faults while writing
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor_facts.h"
#include "fatal_signal_handler.h"

namespace {

[[gnu::noinline]] void WriteThroughNowhere(volatile int* nowhere) { *nowhere = 7; }

kestrin::crash::EditorFacts FaultingFacts() {
  WriteThroughNowhere(nullptr);
  return {};
}

kestrin::crash::EditorFacts SomeFacts() {
  kestrin::crash::EditorFacts facts;
  facts.fileLoaded = true;
  facts.fileName = "/songs/made-up.nes";
  return facts;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s null|abort|handler-fault REPORT REPORTER\n", argv[0]);
    return 2;
  }
  kestrin::crash::FatalSignalSetup setup;
  setup.program = "Kestrin Music Editor";
  setup.version = "test";
  setup.executable = argv[0];
  setup.reportPath = argv[2];
  setup.reporterPath = argv[3];
  kestrin::crash::InstallFatalSignalHandler(setup);
  const bool faultInHandler = std::strcmp(argv[1], "handler-fault") == 0;
  kestrin::crash::SetEditorFactsSource(faultInHandler ? FaultingFacts : SomeFacts);
  if (std::strcmp(argv[1], "abort") == 0) std::abort();
  WriteThroughNowhere(nullptr);
  return 0;
}
