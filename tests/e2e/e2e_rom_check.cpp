// Checks the file saved by the end-to-end run: compared with the original,
// exactly one byte differs, it is byte BYTE_INDEX of the Square 1 stream of
// the given song's given part, and it holds EXPECTED.
//
// usage: e2e-rom-check ORIGINAL SAVED SET INDEX PART_ROW BYTE_INDEX EXPECTED
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editing_state.h"
#include "part_streams.h"
#include "rom_file.h"
#include "song_tables.h"

int main(int argc, char* argv[]) {
  using namespace kestrin;
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s ORIGINAL SAVED SET INDEX PART_ROW BYTE_INDEX EXPECTED\n", argv[0]);
    return 2;
  }
  EditingState original;
  EditingState saved;
  if (!LoadRom(original, argv[1]) || !LoadRom(saved, argv[2])) return 2;
  const SongSet set = std::atoi(argv[3]) == 2 ? SongSet::Two : SongSet::One;
  const int index = std::atoi(argv[4]);
  const int row = std::atoi(argv[5]);
  const int byteIndex = std::atoi(argv[6]);
  const long expected = std::strtol(argv[7], nullptr, 0);
  original.songSet = set;
  if (!GetSongParts(original, set, index) || !LoadPart(original, original.firstPart + row)) {
    std::fprintf(stderr, "could not read the part from the original\n");
    return 2;
  }
  const auto position = static_cast<std::size_t>(original.streamPosition[kSquare1Stream] + byteIndex);

  int differences = 0;
  for (std::size_t i = 0; i < original.romImage.size(); ++i) {
    if (original.romImage[i] == saved.romImage[i]) continue;
    ++differences;
    std::printf("byte 0x%zX: 0x%02X -> 0x%02X\n", i, original.romImage[i], saved.romImage[i]);
  }
  const bool ok = differences == 1 && saved.romImage[position] == expected;
  std::printf("%s: %d byte(s) differ; expected 0x%zX to hold 0x%02lX\n", ok ? "PASS" : "FAIL", differences,
              position, expected);
  return ok ? 0 : 1;
}
