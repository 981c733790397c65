// Writes the demo ROM to the path given on the command line.
#include <cstdio>
#include <fstream>

#include "rom_builder.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.nes\n", argv[0]);
    return 2;
  }
  const auto image = kestrin::demo::MakeDemoRom();
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  std::printf("Demo ROM written to %s (%zu bytes)\n", argv[1], image.size());
  return 0;
}
