// Writes the fuzzer's seed corpus: the demo ROM behind a few different sets
// of control bytes.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "rom_builder.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const auto image = kestrin::demo::MakeDemoRom();
  for (int seed = 0; seed < 4; ++seed) {
    std::array<std::uint8_t, 16> control{};
    for (std::size_t i = 0; i < control.size(); ++i) {
      control[i] = static_cast<std::uint8_t>(seed * 61 + static_cast<int>(i) * 17 + 3);
    }
    const std::string path = std::string(argv[1]) + "/demo-" + std::to_string(seed);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(control.data()), static_cast<std::streamsize>(control.size()));
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out) {
      std::fprintf(stderr, "could not write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
