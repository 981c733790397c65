// Times the real Square 1 page offscreen on made-up streams of growing
// length: a display, and an edit from mouse click to repainted grid (the
// write-back included). As a baseline it times a stock QTableView taking
// the same column widths one resizeSection call at a time.

#include <sys/resource.h>

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cell_table.h"
#include "channel_grid.h"
#include "dialog_service.h"
#include "editing_state.h"
#include "editor_context.h"
#include "editor_settings.h"
#include "music_bank.h"
#include "note_properties_group.h"
#include "part_streams.h"
#include "square1_page.h"
#include "status_line.h"

namespace kestrin {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDisplayRuns = 15;
constexpr int kEditRuns = 300;
constexpr int kBaselineColumnCap = 65536;

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

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> samples, double p) {
  std::sort(samples.begin(), samples.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[index];
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
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

double BaselineMs(const std::vector<int>& widths) {
  const auto columns = static_cast<int>(widths.size());
  EmptyColumns model(columns);
  QTableView view;
  view.resize(600, 263);
  view.setModel(&model);
  view.show();
  QApplication::processEvents();
  const auto start = Clock::now();
  for (int c = 0; c < columns; ++c) view.horizontalHeader()->resizeSection(c, widths[static_cast<std::size_t>(c)]);
  view.viewport()->repaint();
  return Ms(Clock::now() - start);
}

struct Result {
  std::int32_t length = 0;
  double displayMs = 0;
  double editMedianMs = 0;
  double editP99Ms = 0;
  double tableBytesPerByte = 0;
  double layoutBytesPerByte = 0;
  std::vector<int> widths;  // for the baseline
};

Result Measure(std::int32_t length) {
  EditingState state;
  EditorSettings settings;
  NoDialogs dialogs;
  StatusLine status;
  EditorContext context{state, settings, dialogs, status};
  CellTable cells;
  state.romImage = LongStreamImage(length);
  state.romSize = kRomSize;
  state.fileLoaded = true;
  if (!LoadPart(state, 0) || !CopyChannels(state) || Square1Length(state) != length) {
    std::fprintf(stderr, "could not load the %d-byte part\n", length);
    std::exit(1);
  }
  state.partLoaded = true;

  QWidget window;
  window.resize(600, 305);
  NotePropertiesGroup notes(&window);
  notes.hide();
  auto* page = new Square1Page(context, cells, notes, &window);
  page->setGeometry(0, 0, 600, 305);
  window.show();  // the page's show event runs the first display
  QApplication::processEvents();
  ChannelGrid& grid = page->Grid();

  Result result;
  result.length = length;
  std::vector<double> displays;
  for (int i = 0; i < kDisplayRuns; ++i) {
    const auto start = Clock::now();
    page->T_Square1Show();
    grid.viewport()->repaint();
    displays.push_back(Ms(Clock::now() - start));
  }
  result.displayMs = Percentile(displays, 0.5);

  // Edit in the middle of the stream, at cells spread over the view.
  grid.ScrollToCell({std::max(2, length / 2), 30});
  QApplication::processEvents();
  std::vector<QPoint> points;
  for (int x = 40; x < grid.viewport()->width() - 4; x += 23)
    for (int y = 20; y < grid.viewport()->height() - 4; y += 29) points.emplace_back(x, y);
  std::vector<double> edits;
  for (int i = 0; i < kEditRuns; ++i) {
    const QPoint at = points[static_cast<std::size_t>(i) % points.size()];
    const auto start = Clock::now();
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    grid.viewport()->repaint();
    edits.push_back(Ms(Clock::now() - start));
  }
  result.editMedianMs = Percentile(edits, 0.5);
  result.editP99Ms = Percentile(edits, 0.99);
  result.tableBytesPerByte = static_cast<double>(cells.cells.capacity() * sizeof(CellRecord)) / length;
  result.layoutBytesPerByte = static_cast<double>(grid.LayoutBytes()) / length;
  const int columns = std::min(grid.ColumnCount(), kBaselineColumnCap);
  for (int c = 0; c < columns; ++c) result.widths.push_back(static_cast<int>(grid.ColumnWidth(c)));
  return result;
}

}  // namespace
}  // namespace kestrin

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  using namespace kestrin;

  std::vector<Result> results;
  for (std::int32_t length : {64, 1024, 16384, 163839}) results.push_back(Measure(length));
  const long peakKiB = PeakRssKiB();

  std::printf("Square 1 grid, offscreen, %d displays and %d edits per size\n\n", kDisplayRuns, kEditRuns);
  std::printf("%8s %11s %11s %11s %10s %10s %15s %9s\n", "bytes", "display ms", "edit p50 ms",
              "edit p99 ms", "table B/B", "layout B/B", "QTableView ms", "ratio");
  for (const Result& r : results) {
    const double baseline = BaselineMs(r.widths);
    const bool capped = static_cast<std::int32_t>(r.widths.size()) < r.length + 1;
    std::printf("%8d %11.3f %11.3f %11.3f %10.2f %10.3f %14.1f%s %8.0fx%s\n", r.length, r.displayMs,
                r.editMedianMs, r.editP99Ms, r.tableBytesPerByte, r.layoutBytesPerByte, baseline,
                capped ? "*" : " ", baseline / r.displayMs, capped ? "*" : "");
    std::fflush(stdout);
  }
  std::printf("\n* baseline capped at %d columns (a full run takes far longer); ratio is a lower bound\n",
              kBaselineColumnCap);
  std::printf("peak resident memory of the grid runs: %ld KiB\n", peakKiB);
  std::printf("goals: edit p99 < 16 ms at 163,839 bytes and < 2 ms at 64; display < 100 ms at 163,839;"
              " table <= 8 B per stream byte\n");
  return 0;
}
