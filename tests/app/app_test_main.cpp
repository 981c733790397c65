// main() of the window's tests and the crash tests: the program's own
// application object on the offscreen platform, so exceptions travel the
// same road as in the program.
#include <gtest/gtest.h>

#include <cstdlib>

#include "kestrin_application.h"

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  kestrin::KestrinApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
