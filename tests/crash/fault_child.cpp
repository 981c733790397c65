// crash-fault-child MODE REPORT REPORTER: installs the fatal-signal handler
// with the given report file and reporter, then fails:
//   null           dereferences a null pointer
//   abort          calls std::abort
//   handler-fault  as null, from a function whose own return address lies in
//                  a page it made unreadable first: the handler's unwinder
//                  faults again when it reads it
//   null-beside-a-thread  as null, with a second thread that only waits (a
//                  signal sent to the process while the first is being
//                  handled comes to it)
//   abort-with-one-descriptor-left  as abort, with one descriptor left to
//                  open: the report takes it, and the handler gets no pipe
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "editor_facts.h"
#include "fatal_signal_handler.h"

namespace {

[[gnu::noinline]] void WriteThroughNowhere(volatile int* nowhere) { *nowhere = 7; }

// The frame's locals keep this function's stack pointer more than a page
// below its return address, so it can still run after that page is gone.
[[gnu::noinline]] void FaultWithAnUnreadableCaller(volatile int* nowhere) {
  volatile char below[3 * 4096];
  for (std::size_t i = 0; i < sizeof below; i += 512) below[i] = 1;
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto returnAddress = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*);
  mprotect(reinterpret_cast<void*>(returnAddress & ~(page - 1)), page, PROT_NONE);
  *nowhere = below[0];
}

// Keeps the unreadable page well away from the top of the stack, where the
// environment the reporter is started with lies.
[[gnu::noinline]] void FaultDeepDown(volatile int* nowhere) {
  volatile char room[64 * 1024];
  for (std::size_t i = 0; i < sizeof room; i += 512) room[i] = 0;
  FaultWithAnUnreadableCaller(nowhere);
  room[0] = 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s MODE REPORT REPORTER\n", argv[0]);
    return 2;
  }
  kestrin::crash::FatalSignalSetup setup;
  setup.program = "Kestrin Music Editor";
  setup.version = "test";
  setup.executable = argv[0];
  setup.reportPath = argv[2];
  setup.reporterPath = argv[3];
  kestrin::crash::InstallFatalSignalHandler(setup);
  kestrin::crash::EditorFacts facts;
  facts.fileLoaded = true;
  facts.fileName = "/songs/made-up.nes";
  kestrin::crash::PublishEditorFacts(facts);
  if (std::strcmp(argv[1], "abort") == 0) std::abort();
  if (std::strcmp(argv[1], "abort-with-one-descriptor-left") == 0) {
    // New descriptors take the lowest free number, and the limit allows
    // only numbers below it: just the lowest free one is left.
    const int lowest = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(lowest);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(lowest) + 1;
    setrlimit(RLIMIT_NOFILE, &limit);
    std::abort();
  }
  if (std::strcmp(argv[1], "abort-without-standard-input") == 0) {
    close(STDIN_FILENO);  // the report file takes descriptor 0
    std::abort();
  }
  if (std::strcmp(argv[1], "handler-fault") == 0) FaultDeepDown(nullptr);
  if (std::strcmp(argv[1], "null-beside-a-thread") == 0) {
    std::thread([] {
      for (;;) pause();
    }).detach();
  }
  WriteThroughNowhere(nullptr);
  return 0;
}
