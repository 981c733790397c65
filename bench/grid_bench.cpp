// Times the real Square 1 page offscreen on made-up streams of growing
// length. Its measure is the GUI thread's CPU time (and, beside it, wall
// time): an edit from mouse click to repainted grid, write-back and undo
// step included, against a bare repaint of the same viewport with nothing
// changed (the floor), the two taken in turn in one run. It also times
// 1,000 Right-arrow edits against the floor where they are, a whole display
// against a stock QTableView given the same widths, the resident memory a
// loaded part costs per stream byte, the heap an undo step costs, and the
// undo and redo of 20,000 steps.

#include <malloc.h>
#include <time.h>

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cell_table.h"
#include "channel_grid.h"
#include "dialog_service.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "music_bank.h"
#include "note_properties_group.h"
#include "part_streams.h"
#include "square1_page.h"
#include "stamp.h"
#include "status_line.h"

namespace kestrin {
namespace {

using bench::Now;
using bench::Since;
using bench::Stamp;

constexpr int kDisplayRuns = 15;
constexpr int kEditRuns = 400;
constexpr int kKeyEdits = 1000;
constexpr int kUndoSteps = 20'000;

// The part starts one byte into the music bank, so the longest stream runs
// to the image's last byte. Part 0 of set 1 has header entry 7.
constexpr std::int32_t kPartStart = kMusicBankFirst + 1;
constexpr std::uint8_t kHeaderEntry = 7;

class NoDialogs final : public DialogService {
 public:
  MessageAnswer ShowMessage(const QString&, const QString&, MessageStyle) override {
    return MessageAnswer::No;
  }
  std::optional<QString> AskOpenFileName(const FileDialogRequest&) override { return {}; }
  std::optional<QString> AskSaveFileName(const FileDialogRequest&) override { return {}; }
  std::optional<QColor> AskColor(const QColor&) override { return {}; }
};

// A made-up image whose part 0 (set 1) has a Square 1 stream of `length`
// bytes: notes, rests and property bytes of every length, then the zero.
// The header and part table lie inside long streams, so they avoid zeros.
std::vector<std::uint8_t> LongStreamImage(std::int32_t length) {
  std::vector<std::uint8_t> image(static_cast<std::size_t>(kRomSize), 0x55);
  std::uint32_t seed = 12345;
  for (std::int32_t i = 0; i < length - 1; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::uint32_t pick = (seed >> 16) % 16;
    std::uint8_t b = 0;
    if (pick == 0) b = static_cast<std::uint8_t>(0x81 + (seed >> 8) % 0x7F);  // property
    else if (pick == 1) b = 0x7E;                                              // rest
    else b = static_cast<std::uint8_t>(0x02 + 2 * ((seed >> 4) % 62));         // note
    image[static_cast<std::size_t>(kPartStart + i)] = b;
  }
  image[static_cast<std::size_t>(kPartStart + length - 1)] = 0x00;
  const std::uint16_t address = static_cast<std::uint16_t>(0xA000 + (kPartStart - kMusicBankFirst));
  const std::int32_t header = kSongSet1Layout.headerAreaBase + kHeaderEntry;
  image[static_cast<std::size_t>(kSongSet1Layout.partTable)] = kHeaderEntry;
  const std::uint8_t bytes[kPartHeaderSize] = {0x10, static_cast<std::uint8_t>(address & 0xFF),
                                               static_cast<std::uint8_t>(address >> 8), 2, 1, 3, 4};
  std::copy(std::begin(bytes), std::end(bytes), image.begin() + header);
  return image;
}

struct Samples {
  std::vector<double> cpu;
  std::vector<double> wall;
  void Add(const Stamp& start) {
    const Stamp end = Now();
    cpu.push_back(end.cpu - start.cpu);
    wall.push_back(end.wall - start.wall);
  }
};

double Percentile(std::vector<double> samples, double p) {
  std::sort(samples.begin(), samples.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[index];
}

// Resident memory now, after handing freed heap back to the system.
long ResidentKiB() {
  malloc_trim(0);
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class EmptyColumns final : public QAbstractTableModel {
 public:
  explicit EmptyColumns(int columns) : columns_(columns) {}
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kSquare1RowCount; }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : columns_; }
  QVariant data(const QModelIndex&, int) const override { return {}; }

 private:
  int columns_;
};

// A stock table view taking the same widths, laid out fairly: no minimum
// section size to raise narrow columns, no header repaint per column.
Stamp StockBaseline(const std::vector<int>& widths) {
  const auto columns = static_cast<int>(widths.size());
  EmptyColumns model(columns);
  QTableView view;
  view.resize(600, 263);
  view.setModel(&model);
  QHeaderView* header = view.horizontalHeader();
  header->setMinimumSectionSize(0);
  view.show();
  QApplication::processEvents();
  const Stamp start = Now();
  header->setUpdatesEnabled(false);
  for (int c = 0; c < columns; ++c) header->resizeSection(c, widths[static_cast<std::size_t>(c)]);
  header->setUpdatesEnabled(true);
  view.viewport()->repaint();
  const Stamp end = Now();
  return {end.cpu - start.cpu, end.wall - start.wall};
}

struct Result {
  std::int32_t length = 0;
  Samples edits;
  Samples floors;
  Samples displays;
  Stamp keys;
  Stamp keyFloors;  // a bare repaint before each key, where the key is
  double bytesPerStreamByte = 0;
  double heapPerStep = 0;
  Stamp undoAll;
  Stamp redoAll;
  bool undoneToStart = false;
  std::vector<int> widths;  // for the baseline
};

Result Measure(std::int32_t length) {
  EditingState state;
  EditorSettings settings;
  NoDialogs dialogs;
  StatusLine status;
  // Every edit is recorded for undo, as in the window: its Edit menu items
  // follow the history, and undo and redo update the cells they name.
  EditHistory history(state);
  QMenu editMenu;
  editMenu.addAction(history.Stack().createUndoAction(&editMenu, QStringLiteral("&Undo")));
  editMenu.addAction(history.Stack().createRedoAction(&editMenu, QStringLiteral("&Redo")));
  EditorContext context{state, settings, dialogs, status, &history};
  CellTable cells;
  state.romImage = LongStreamImage(length);
  state.romSize = kRomSize;
  state.fileLoaded = true;

  QWidget window;
  window.resize(600, 305);
  NotePropertiesGroup notes(&window);
  notes.hide();
  auto* page = new Square1Page(context, cells, notes, &window);
  page->setGeometry(0, 0, 600, 305);
  window.show();  // no part yet: the page only asks for one
  QApplication::processEvents();
  ChannelGrid& grid = page->Grid();

  Result result;
  result.length = length;
  const std::vector<std::uint8_t> startImage = state.romImage;  // what undoing everything must give back
  const long withoutKiB = ResidentKiB();
  if (!LoadPart(state, 0) || !CopyChannels(state) || Square1Length(state) != length) {
    std::fprintf(stderr, "could not load the %d-byte part\n", length);
    std::exit(1);
  }
  state.partLoaded = true;
  history.PartLoaded(SongLine{1, 1, SongSet::One, 0});
  history.SetShow([page](const StepShown& shown) { page->ShowChanges(shown.changes); });
  page->T_Square1Show();
  grid.viewport()->repaint();
  result.bytesPerStreamByte = static_cast<double>(ResidentKiB() - withoutKiB) * 1024.0 / length;

  for (int i = 0; i < kDisplayRuns; ++i) {
    const Stamp start = Now();
    page->T_Square1Show();
    grid.viewport()->repaint();
    result.displays.Add(start);
  }

  // Edit in the middle of the stream, at cells spread over the view; a bare
  // repaint of the same view before each edit is the floor.
  grid.ScrollToCell({std::max(2, length / 2), 30});
  QApplication::processEvents();
  std::vector<QPoint> points;
  for (int x = 40; x < grid.viewport()->width() - 4; x += 23)
    for (int y = 20; y < grid.viewport()->height() - 4; y += 29) points.emplace_back(x, y);
  for (int i = 0; i < kEditRuns; ++i) {
    Stamp start = Now();
    grid.viewport()->repaint();
    result.floors.Add(start);
    const QPoint at = points[static_cast<std::size_t>(i) % points.size()];
    start = Now();
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    grid.viewport()->repaint();
    result.edits.Add(start);
  }

  // Holding Right: every step is an edit. Short streams start over at
  // column 2 (unmeasured, no edit) when the last column is reached. A bare
  // repaint before each key, where the key is, is that key's floor.
  grid.setFocus();
  const int row = 30;
  grid.SetCurrentCell({std::min(2, grid.ColumnCount() - 1), row});
  QApplication::processEvents();
  for (int i = 0; i < kKeyEdits; ++i) {
    if (grid.CurrentCell().column >= grid.ColumnCount() - 1) {
      grid.SetCurrentCell({1, row});
      QApplication::processEvents();
    }
    Stamp start = Now();
    grid.viewport()->repaint();
    const Stamp floor = Since(start);
    result.keyFloors.cpu += floor.cpu;
    result.keyFloors.wall += floor.wall;
    start = Now();
    QTest::keyClick(&grid, Qt::Key_Right);
    grid.viewport()->repaint();
    const Stamp key = Since(start);
    result.keys.cpu += key.cpu;
    result.keys.wall += key.wall;
  }

  // More cell edits, as the handler makes them, up to 20,000 steps: their
  // heap per step; then all of them undone and redone.
  const int stepsBefore = history.Stack().count();
  const std::size_t heapBefore = mallinfo2().uordblks;
  const int columns = std::min(grid.ColumnCount() - 1, 2000);
  for (int i = 0; history.Stack().count() < kUndoSteps && i < 4 * kUndoSteps; ++i) {
    grid.SetCurrentCell({2 + i % (columns - 1), 10 + (i / (columns - 1)) % 2});
    page->Sq1_StrGridClick();
  }
  result.heapPerStep = static_cast<double>(mallinfo2().uordblks - heapBefore) /
                       std::max(history.Stack().count() - stepsBefore, 1);
  Stamp start = Now();
  while (history.Stack().canUndo()) history.Stack().undo();
  result.undoAll = Since(start);
  WriteBack(state);  // what the steps left unstored (none: every one wrote back)
  result.undoneToStart = state.romImage == startImage;
  start = Now();
  while (history.Stack().canRedo()) history.Stack().redo();
  result.redoAll = Since(start);

  for (int c = 0; c < grid.ColumnCount(); ++c) result.widths.push_back(static_cast<int>(grid.ColumnWidth(c)));
  return result;
}

std::string FirstLine(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (key.empty() || line.rfind(key, 0) == 0) return line;
  }
  return {};
}

}  // namespace
}  // namespace kestrin

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  using namespace kestrin;

  std::printf("Square 1 grid, offscreen; %d edits and floors taken in turn, %d displays, %d key edits per size\n",
              kEditRuns, kDisplayRuns, kKeyEdits);
  std::printf("%s; %ld cores; load average at start: %s\n\n", FirstLine("/proc/cpuinfo", "model name").c_str(),
              sysconf(_SC_NPROCESSORS_ONLN), FirstLine("/proc/loadavg", "").c_str());

  std::vector<Result> results;
  for (std::int32_t length : {64, 1024, 16384, 65536, 163839}) results.push_back(Measure(length));

  std::printf("GUI thread CPU ms: an edit against a bare repaint (floor)\n");
  std::printf("%8s %9s %9s %9s %9s %8s %8s\n", "bytes", "edit p50", "edit p99", "floor p50", "floor p99",
              "p50 x", "p99 x");
  for (const Result& r : results) {
    const double e50 = Percentile(r.edits.cpu, 0.5);
    const double e99 = Percentile(r.edits.cpu, 0.99);
    const double f50 = Percentile(r.floors.cpu, 0.5);
    const double f99 = Percentile(r.floors.cpu, 0.99);
    std::printf("%8d %9.3f %9.3f %9.3f %9.3f %7.2fx %7.2fx\n", r.length, e50, e99, f50, f99, e50 / f50,
                e99 / f99);
  }
  std::printf("\nWall ms of the same samples (other processes included)\n");
  std::printf("%8s %9s %9s %9s %9s\n", "bytes", "edit p50", "edit p99", "floor p50", "floor p99");
  for (const Result& r : results) {
    std::printf("%8d %9.3f %9.3f %9.3f %9.3f\n", r.length, Percentile(r.edits.wall, 0.5),
                Percentile(r.edits.wall, 0.99), Percentile(r.floors.wall, 0.5), Percentile(r.floors.wall, 0.99));
  }
  std::printf("\n%d Right-arrow edits against a bare repaint before each (CPU ms, wall ms beside)\n", kKeyEdits);
  std::printf("%8s %10s %10s %10s %10s %9s %9s %8s\n", "bytes", "keys CPU", "floor CPU", "keys wall", "floor wall",
              "per key", "floor", "x floor");
  for (const Result& r : results) {
    std::printf("%8d %10.1f %10.1f %10.1f %10.1f %9.3f %9.3f %7.2fx\n", r.length, r.keys.cpu, r.keyFloors.cpu,
                r.keys.wall, r.keyFloors.wall, r.keys.cpu / kKeyEdits, r.keyFloors.cpu / kKeyEdits,
                r.keys.cpu / r.keyFloors.cpu);
  }
  std::printf("\nUndo history: heap per step, undo and redo of all %d steps (ms)\n", kUndoSteps);
  std::printf("%8s %12s %10s %10s %10s %10s %8s\n", "bytes", "heap B/step", "undo CPU", "undo wall", "redo CPU",
              "redo wall", "undone");
  for (const Result& r : results) {
    std::printf("%8d %12.1f %10.1f %10.1f %10.1f %10.1f %8s\n", r.length, r.heapPerStep, r.undoAll.cpu,
                r.undoAll.wall, r.redoAll.cpu, r.redoAll.wall, r.undoneToStart ? "exact" : "DIFFERS");
  }
  std::printf("\nWhole display, stock view, memory (CPU ms)\n");
  std::printf("%8s %10s %10s %8s %9s\n", "bytes", "display", "stock", "stock x", "RSS B/B");
  for (const Result& r : results) {
    const double display = Percentile(r.displays.cpu, 0.5);
    const Stamp stock = StockBaseline(r.widths);
    std::printf("%8d %10.3f %10.3f %7.1fx %9.1f\n", r.length, display, stock.cpu, stock.cpu / display,
                r.bytesPerStreamByte);
    std::fflush(stdout);
  }
  std::printf("\nload average at end: %s\n", FirstLine("/proc/loadavg", "").c_str());
  std::printf("goals: edit CPU p50 within 1.2x of the floor at every length, p99 within 1.5x; "
              "Right-arrow edits within 1.5x of their floor\n");
  bool exact = true;
  for (const Result& r : results) exact = exact && r.undoneToStart;
  return exact ? 0 : 1;
}
