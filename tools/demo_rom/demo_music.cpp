#include "demo_music.h"

#include <array>
#include <vector>

#include "channel_bytes.h"

namespace kestrin::demo {
namespace {

constexpr std::array<int, 7> kMajor{0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinor{0, 2, 3, 5, 7, 8, 10};
constexpr std::array<int, 7> kDorian{0, 2, 3, 5, 7, 9, 10};
constexpr std::array<int, 5> kPentatonic{0, 2, 4, 7, 9};
constexpr std::array<int, 7> kHarmonicMinor{0, 2, 3, 5, 7, 8, 11};
constexpr std::array<int, 7> kMixolydian{0, 2, 4, 5, 7, 9, 10};
constexpr std::array<std::span<const int>, 6> kScales{kMajor, kMinor, kDorian,
                                                      kPentatonic, kHarmonicMinor, kMixolydian};

// Note bytes: semitone s is byte 2s (s = 1 to 62); the odd byte above it
// names the same pitch.
constexpr int kLowestSemitone = 1;
constexpr int kHighestSemitone = 62;

// Length codes of the property byte's low four bits (positions in the
// note length list).
constexpr int kQuarter = 1;
constexpr int kHalf = 2;
constexpr int kOne = 4;
constexpr int kTwo = 8;
constexpr int kThree = 9;
constexpr int kFour = 10;
constexpr int kEight = 12;

constexpr int kRestMark = -100;  // a rest inside a degree motif

// Melodic shapes, as scale degrees; kRestMark leaves a beat silent.
constexpr std::array<std::array<int, 8>, 4> kMotifs{{
    {0, 2, 4, 2, kRestMark, 4, 5, 4},
    {4, 3, 2, kRestMark, 1, 2, 0, kRestMark},
    {0, kRestMark, 4, 7, 6, 4, kRestMark, 2},
    {2, 4, 5, 7, kRestMark, 5, 4, 2},
}};

class StreamWriter {
 public:
  explicit StreamWriter(const SongStyle& style) : style_(style) {}

  void Props(int lengthCode, int instrumentShift = 0) {
    const int instrumentIndex = (style_.instrument - 8 + instrumentShift) % 8;
    bytes_.push_back(ComposePropertyByte(instrumentIndex, lengthCode));
  }
  void Semitone(int semitone, bool odd = false) {
    while (semitone < kLowestSemitone) semitone += 12;
    while (semitone > kHighestSemitone) semitone -= 12;
    bytes_.push_back(static_cast<std::uint8_t>(2 * semitone + (odd ? 1 : 0)));
  }
  void Degree(int degree, int octaveShift = 0, bool odd = false) {
    Semitone(SemitoneOf(degree) + 12 * octaveShift, odd);
  }
  void Rest() { bytes_.push_back(kSilenceByte); }
  void Raw(std::uint8_t value) { bytes_.push_back(value); }
  void End() { bytes_.push_back(kEndByte); }

  int SemitoneOf(int degree) const {
    const auto size = static_cast<int>(style_.scale.size());
    const int octave = degree >= 0 ? degree / size : -((-degree + size - 1) / size);
    const int step = degree - octave * size;
    return style_.root + 12 * octave + style_.scale[static_cast<std::size_t>(step)];
  }
  int ScaleSize() const { return static_cast<int>(style_.scale.size()); }

  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  const SongStyle& style_;
  std::vector<std::uint8_t> bytes_;
};

void ScaleRun(StreamWriter& out, int from, int count, int step, int octaveShift) {
  for (int i = 0; i < count; ++i) out.Degree(from + i * step, octaveShift);
}

void Arpeggio(StreamWriter& out, int chordRoot, int octaveShift) {
  const int size = out.ScaleSize();
  const int third = size == 5 ? 1 : 2;
  const int fifth = size == 5 ? 3 : 4;
  const std::array<int, 8> shape{0, third, fifth, size, size + third, size, fifth, third};
  for (int degree : shape) out.Degree(chordRoot + degree, octaveShift);
}

void Motif(StreamWriter& out, const std::array<int, 8>& motif, int transpose, int octaveShift,
           int oddEvery) {
  int position = 0;
  for (int degree : motif) {
    if (degree == kRestMark) {
      out.Rest();
    } else {
      out.Degree(degree + transpose, octaveShift, ++position % oddEvery == 0);
    }
  }
}

std::vector<std::uint8_t> Square1Of(const SongStyle& style, int partIndex) {
  StreamWriter out(style);
  const auto& motif = kMotifs[static_cast<std::size_t>(partIndex) % kMotifs.size()];
  switch (partIndex % 3) {
    case 0:  // scale up, arpeggio, melody, long close
      out.Props(kHalf);
      ScaleRun(out, 0, 8, 1, 1);
      out.Props(kQuarter, 2);
      Arpeggio(out, 0, 1);
      out.Props(kOne);
      Motif(out, motif, 0, 1, 5);
      out.Props(kHalf, 1);
      ScaleRun(out, 9, 6, -1, 1);
      out.Rest();
      out.Props(kTwo, 4);
      out.Degree(4, 1);
      out.Rest();
      out.Props(kEight);
      out.Degree(0, 2);
      break;
    case 1:  // melody, scale down, arpeggio on the fourth degree
      out.Props(kOne, 1);
      Motif(out, motif, 2, 1, 4);
      out.Props(kHalf);
      ScaleRun(out, 7, 8, -1, 1);
      out.Props(kQuarter, 3);
      Arpeggio(out, 3, 0);
      Arpeggio(out, 4, 0);
      out.Props(kThree);
      out.Degree(3, 1);
      out.Rest();
      out.Props(kFour, 1);
      out.Degree(0, 1);
      break;
    default:  // answer phrase: melody twice, the second time higher
      out.Props(kOne);
      Motif(out, motif, 0, 1, 6);
      out.Props(kHalf, 2);
      Motif(out, motif, 4, 1, 3);
      out.Props(kQuarter, 5);
      Arpeggio(out, 5, 1);
      out.Props(kTwo);
      out.Degree(2, 2);
      out.Degree(1, 2);
      out.Rest();
      out.Props(kEight, 4);
      out.Degree(0, 2);
      break;
  }
  out.End();
  return out.Take();
}

// Square 2 holds even note bytes only: odd bytes have no row in its grid.
std::vector<std::uint8_t> Square2Of(const SongStyle& style, int partIndex) {
  StreamWriter out(style);
  const int shift = partIndex % 2 == 0 ? 0 : 3;
  out.Props(kOne, 1);
  for (int bar = 0; bar < 2; ++bar) {
    out.Degree(shift, 0);
    out.Degree(shift + 4, 0);
    out.Degree(shift + 2, 0);
    out.Rest();
  }
  out.Props(kTwo, 1);
  out.Degree(shift, 1);
  out.Degree(shift + 1, 1);
  out.Props(kHalf, 3);
  ScaleRun(out, shift + 4, 6, -1, 0);
  out.Rest();
  out.Props(kFour, 1);
  out.Degree(0, 0);
  return out.Take();
}

// Triangle: a walking bass an octave below.
std::vector<std::uint8_t> Stream3Of(const SongStyle& style, int partIndex) {
  StreamWriter out(style);
  out.Props(kTwo);
  const int shift = partIndex % 2 == 0 ? 0 : 3;
  for (int degree : {0, 4, 5, 3, 0, 4}) out.Degree(degree + shift, -1);
  out.Rest();
  return out.Take();
}

// Noise: a short beat of made-up drum values.
std::vector<std::uint8_t> Stream4Of(int partIndex) {
  std::vector<std::uint8_t> beat{0x82, 0x11, 0x05, 0x11, 0x05};
  if (partIndex % 2 == 1) beat.insert(beat.end(), {0x7E, 0x11, 0x09});
  return beat;
}

std::vector<std::uint8_t> DmcOf(int partIndex) {
  if (partIndex % 3 == 2) return {0x84, 0x06, kEndByte};
  return {kEndByte};
}

}  // namespace

SongStyle StyleOfSong(int ordinal) {
  return SongStyle{
      .root = 12 + (ordinal * 5) % 12,
      .scale = kScales[static_cast<std::size_t>(ordinal + ordinal / 12) % kScales.size()],
      .instrument = 8 + ordinal % 8,
      .tempo = static_cast<std::uint8_t>(0x0C + 2 * (ordinal % 8)),
  };
}

PartStreams ComposePart(const SongStyle& style, int partIndex) {
  PartStreams part;
  part.tempo = style.tempo;
  part.square1 = Square1Of(style, partIndex);
  part.square2 = Square2Of(style, partIndex);
  part.stream3 = Stream3Of(style, partIndex);
  part.stream4 = Stream4Of(partIndex);
  part.dmc = DmcOf(partIndex);
  return part;
}

PartStreams ComposeSweepPart(const SongStyle& style) {
  StreamWriter out(style);
  out.Props(kQuarter);
  // Every semitone of the scale's pitch classes from the very bottom up.
  for (int semitone = kLowestSemitone; semitone <= kHighestSemitone; ++semitone) {
    const int pitchClass = ((semitone - style.root) % 12 + 12) % 12;
    bool inScale = semitone == kLowestSemitone || semitone == kHighestSemitone;
    for (int step : style.scale) inScale = inScale || step == pitchClass;
    if (inScale) out.Semitone(semitone);
  }
  out.Rest();
  out.Props(kHalf, 2);
  Arpeggio(out, 0, 2);
  Arpeggio(out, 0, 0);
  out.Rest();
  out.Props(kEight, 4);
  out.Degree(0, -1);
  out.End();

  PartStreams part = ComposePart(style, 0);
  part.square1 = out.Take();
  return part;
}

}  // namespace kestrin::demo
