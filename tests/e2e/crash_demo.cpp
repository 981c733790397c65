// kestrin-crash-demo [throw|fault]: the real editor with one way to fail,
// for the end-to-end test of crash reporting. A second after start-up an
// event handler throws ("throw") or dereferences a null pointer ("fault").
// Without an argument it is the plain editor (for `kill -SEGV`).
#include <QTimer>
#include <cstring>
#include <stdexcept>

#include "editor_main.h"
#include "main_window.h"

namespace {

[[gnu::noinline]] void ThrowFromAHandler() {
  throw std::runtime_error("the demo handler gave up");
}

[[gnu::noinline]] void FaultInAHandler(volatile int* nowhere) { *nowhere = 1; }

}  // namespace

int main(int argc, char* argv[]) {
  const char* mode = argc > 1 ? argv[1] : "";
  return kestrin::RunEditor(argc, argv, [mode](kestrin::TMainWindow& window) {
    if (std::strcmp(mode, "throw") == 0) QTimer::singleShot(1000, &window, [] { ThrowFromAHandler(); });
    if (std::strcmp(mode, "fault") == 0) QTimer::singleShot(1000, &window, [] { FaultInAHandler(nullptr); });
  });
}
