#pragma once
// The program's start-up: crash reporting first, then the application object,
// the main window and the event loop. A test program passes `prepare` to add
// to the window before it is shown.

#include <functional>

namespace kestrin {

class TMainWindow;

int RunEditor(int argc, char* argv[], const std::function<void(TMainWindow&)>& prepare = {});

}  // namespace kestrin
