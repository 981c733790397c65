#pragma once
// Builds made-up Kestrin ROM images: the demo ROM that the README opens, and
// the images the tests work on. A test names the bytes it cares about; the
// builder lays out the rest (song tables, part tables, headers, streams).
// Nothing in here comes from a real game.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "music_bank.h"

namespace kestrin::demo {

// The five streams of a part, in image order. Streams 1 and 5 must end with
// their zero byte; streams 2 to 4 end where the next begins.
struct PartStreams {
  std::uint8_t tempo = 0x10;
  std::vector<std::uint8_t> square1{0x84, 0x30, 0x00};
  std::vector<std::uint8_t> square2{0x84, 0x30, 0x7E};
  std::vector<std::uint8_t> stream3{0x84, 0x30};
  std::vector<std::uint8_t> stream4{0x84};
  std::vector<std::uint8_t> dmc{0x00};
};

class RomBuilder {
 public:
  // A blank image of exactly kRomSize bytes: an iNES header, filler bytes,
  // empty song tables (every song's first, last and loop part 0) and no parts.
  RomBuilder();

  // Lays out `streams` back to back (a packed part) in free room of the
  // music bank, writes its 7-byte header in the set's header area and its
  // entry in the set's part table. Returns the new part number.
  int AddPart(SongSet set, const PartStreams& streams);

  // Writes song `index`'s first, last and loop part bytes of `set`.
  void SetSong(SongSet set, int index, int first, int last, int loop);

  // Raw access for the bytes a test cares about.
  void Poke(std::int32_t offset, std::uint8_t value);
  void Poke(std::int32_t offset, std::span<const std::uint8_t> bytes);
  std::uint8_t Peek(std::int32_t offset) const;

  // File offset of a part's header and of its first stream, as laid out.
  std::int32_t HeaderPosition(SongSet set, int partNumber) const;
  std::int32_t PartStart(SongSet set, int partNumber) const;

  const std::vector<std::uint8_t>& Image() const { return image_; }
  bool WriteTo(const std::string& path) const;

 private:
  std::vector<std::uint8_t> image_;
  // builder's own bookkeeping (free room, next part number, ...) goes here
};

// The demo ROM: every song of both sets has parts to show and edit.
std::vector<std::uint8_t> MakeDemoRom();

}  // namespace kestrin::demo
