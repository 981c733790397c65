#pragma once
// Made-up music for the demo ROM: scales, arpeggios and short melodies with
// rests, written as channel bytes. Everything is derived from a song's
// ordinal and a part's place in it, so the demo ROM is the same every time.

#include <cstdint>
#include <span>

#include "rom_builder.h"

namespace kestrin::demo {

struct SongStyle {
  int root;                    // semitone number of scale degree 0
  std::span<const int> scale;  // semitones of the degrees within one octave
  int instrument;              // high four bits of the property bytes, 8 to F
  std::uint8_t tempo;
};

// The style of the song at position `ordinal` of the song list.
SongStyle StyleOfSong(int ordinal);

// Part `partIndex` of a song in `style`: a property byte first, then phrases
// of notes and rests in several lengths, the end byte last in Square 1.
PartStreams ComposePart(const SongStyle& style, int partIndex);

// A part whose Square 1 climbs the scale from the lowest note byte (0x02)
// to the highest (0x7C) and comes back down in arpeggios.
PartStreams ComposeSweepPart(const SongStyle& style);

}  // namespace kestrin::demo
