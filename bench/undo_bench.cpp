// The undo history's cost: heap bytes per step and time per recorded edit,
// over 10,000 Square 1 cell edits (each with its write-back) and 10,000
// Tempo keystrokes in separate typing sessions, on the demo ROM. Then every
// step is undone and redone, and the image is checked against the file.
#include <malloc.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>

#include "edit_history.h"
#include "editing_state.h"
#include "part_streams.h"
#include "rom_builder.h"
#include "song_tables.h"

namespace {

using namespace kestrin;
using Clock = std::chrono::steady_clock;

std::size_t HeapInUse() { return mallinfo2().uordblks; }

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  constexpr int kSteps = 10'000;

  EditingState state;
  state.romImage = demo::MakeDemoRom();
  state.romSize = static_cast<std::int32_t>(state.romImage.size());
  state.fileLoaded = true;
  const std::vector<std::uint8_t> opened = state.romImage;
  if (!GetSongParts(state, SongSet::One, 1) || !LoadPart(state, state.firstPart) || !CopyChannels(state)) {
    std::fprintf(stderr, "could not load the demo part\n");
    return 1;
  }
  state.partLoaded = true;
  EditHistory history(state);
  const std::size_t length = state.channels->edit[kSquare1Stream].size();

  const auto report = [&](const char* what, auto&& edit) {
    const std::size_t heapBefore = HeapInUse();
    const int stepsBefore = history.Stack().count();
    const auto start = Clock::now();
    for (int i = 0; i < kSteps; ++i) edit(i);
    const auto elapsed = Clock::now() - start;
    const int steps = history.Stack().count() - stepsBefore;
    std::printf("%-34s %6d steps  %7.1f bytes/step  %6.3f ms/edit\n", what, steps,
                static_cast<double>(HeapInUse() - heapBefore) / steps, Ms(elapsed) / kSteps);
  };

  report("Square 1 cell edit + write-back", [&](int i) {
    history.Record(QStringLiteral("note edit on Square 1"), [&] {
      auto& stream = state.channels->edit[kSquare1Stream];
      const std::size_t k = 1 + static_cast<std::size_t>(i) % (length - 2);
      stream[k] = static_cast<std::uint8_t>(stream[k] == 0x30 ? 0x32 : 0x30);
      WriteBack(state);
    });
  });
  report("Tempo keystroke (own session)", [&](int i) {
    history.EndTyping();
    history.Record(QStringLiteral("Tempo"), [&] {
      const auto value = static_cast<std::uint8_t>(i % 2 == 0 ? 0x21 : 0x22);
      state.romImage[static_cast<std::size_t>(state.headerPosition)] = value;
      state.partHeader[0] = value;
    }, TypingBox::Tempo);
  });

  const auto start = Clock::now();
  const int total = history.Stack().count();
  while (history.Stack().canUndo()) history.Stack().undo();
  const bool undoneToFile = state.romImage == opened;
  while (history.Stack().canRedo()) history.Stack().redo();
  std::printf("undo and redo of all %d steps: %.1f ms; after undo the image %s the file\n", total,
              Ms(Clock::now() - start), undoneToFile ? "equals" : "DIFFERS FROM");
  return undoneToFile ? 0 : 1;
}
