// kestrin-crash-demo [throw [FILE]|fault]: the real editor with one way to
// fail, for the end-to-end test of crash reporting. A second after start-up
// an event handler throws ("throw") or dereferences a null pointer
// ("fault"). A FILE after "throw" is loaded first, as Open leaves it, so the
// report's editor state has a file to name. Without an argument it is the
// plain editor (for `kill -SEGV`).
#include <QTimer>
#include <cstring>
#include <stdexcept>

#include "editor_main.h"
#include "main_window.h"
#include "rom_file.h"

namespace {

[[gnu::noinline]] void ThrowFromAHandler() {
  throw std::runtime_error("the demo handler gave up");
}

[[gnu::noinline]] void FaultInAHandler(volatile int* nowhere) { *nowhere = 1; }

}  // namespace

int main(int argc, char* argv[]) {
  const char* mode = argc > 1 ? argv[1] : "";
  const char* file = argc > 2 ? argv[2] : nullptr;
  return kestrin::RunEditor(argc, argv, [mode, file](kestrin::TMainWindow& window) {
    if (file != nullptr && kestrin::LoadRom(window.State(), file)) {
      window.State().currentFileName = file;
      window.State().fileLoaded = true;
    }
    if (std::strcmp(mode, "throw") == 0) QTimer::singleShot(1000, &window, [] { ThrowFromAHandler(); });
    if (std::strcmp(mode, "fault") == 0) QTimer::singleShot(1000, &window, [] { FaultInAHandler(nullptr); });
  });
}
