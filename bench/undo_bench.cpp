// The undo history's cost on the demo ROM: heap bytes per step and time per
// recorded edit, over 10,000 Square 1 cell edits (each with its marked
// write-back) and 10,000 Tempo keystrokes in separate typing sessions, all
// through the write path as the window makes them. Then all 20,000 steps
// are undone and redone, timed, and undoing must give the opened image back.
#include <malloc.h>
#include <time.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "edit_history.h"
#include "editing_state.h"
#include "part_streams.h"
#include "rom_builder.h"
#include "song_tables.h"
#include "stamp.h"
#include "write_path.h"

namespace {

using namespace kestrin;
using bench::Now;
using bench::Since;
using bench::Stamp;

std::size_t HeapInUse() { return mallinfo2().uordblks; }

}  // namespace

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
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
  history.PartLoaded(SongLine{1, 1, SongSet::One, state.firstPart});
  const std::size_t length = state.channels->edit[kSquare1Stream].size();

  std::printf("%-34s %6s %12s %14s %14s\n", "", "steps", "heap B/step", "CPU ms/edit", "wall ms/edit");
  const auto report = [&](const char* what, auto&& edit) {
    const std::size_t heapBefore = HeapInUse();
    const int stepsBefore = history.Stack().count();
    const Stamp start = Now();
    for (int i = 0; i < kSteps; ++i) edit(i);
    const Stamp spent = Since(start);
    const int steps = history.Stack().count() - stepsBefore;
    std::printf("%-34s %6d %12.1f %14.4f %14.4f\n", what, steps,
                static_cast<double>(HeapInUse() - heapBefore) / steps, spent.cpu / kSteps, spent.wall / kSteps);
  };

  report("Square 1 cell edit + write-back", [&](int i) {
    history.Record(QStringLiteral("note edit on Square 1"), EditPlace{history.LoadedPart(), "Sq1_StrGrid", 2, 10},
                   [&] {
                     const std::size_t k = 1 + static_cast<std::size_t>(i) % (length - 2);
                     const std::uint8_t now = state.channels->edit[kSquare1Stream][k];
                     SetStreamByte(state, kSquare1Stream, k, now == 0x30 ? 0x32 : 0x30);
                     WriteBackEdits(state);
                   });
  });
  report("Tempo keystroke (own session)", [&](int i) {
    history.EndTyping();
    history.Record(
        QStringLiteral("Tempo"), EditPlace{history.LoadedPart(), "E_ph1"},
        [&] {
          const auto value = static_cast<std::uint8_t>(i % 2 == 0 ? 0x21 : 0x22);
          SetImageByte(state, state.headerPosition, value);
          SetHeaderCopyByte(state, 0, value);
        },
        TypingBox::Tempo);
  });

  const int total = history.Stack().count();
  Stamp start = Now();
  while (history.Stack().canUndo()) history.Stack().undo();
  const Stamp undone = Since(start);
  const bool undoneToFile = state.romImage == opened;
  start = Now();
  while (history.Stack().canRedo()) history.Stack().redo();
  const Stamp redone = Since(start);
  std::printf("undo of all %d steps: %.1f ms CPU (%.1f wall); redo: %.1f ms CPU (%.1f wall); after undo the image %s "
              "the file\n",
              total, undone.cpu, undone.wall, redone.cpu, redone.wall, undoneToFile ? "equals" : "DIFFERS FROM");
  return undoneToFile ? 0 : 1;
}
