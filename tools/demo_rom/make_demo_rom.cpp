// Writes the demo ROM to the path given on the command line.
#include <cstdio>

#include "rom_builder.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.nes\n", argv[0]);
    return 2;
  }
  const auto rom = kestrin::demo::BuildDemoRom();
  if (!rom.WriteTo(argv[1])) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  std::printf("Demo ROM written to %s (%zu bytes)\n", argv[1], rom.Image().size());
  return 0;
}
