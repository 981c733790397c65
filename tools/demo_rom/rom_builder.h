#pragma once
// Builds made-up Kestrin ROM images: the demo ROM that the README opens, and
// the images the tests work on. A test names the bytes it cares about; the
// builder lays out the rest (song tables, part tables, headers, streams).
// Nothing in here comes from a real game.

#include <array>
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

// The first part gets header entry 7, not 0: the song page refuses to write
// an entry of 0, so demo data stays editable in both directions.
inline constexpr int kFirstHeaderEntry = 7;
inline constexpr int kHeaderEntryStep = 7;
// Part addresses are written through this mirror of the 8 KiB music window.
inline constexpr std::uint16_t kPartAddressBase = 0xA000;

// What a blank image holds where nothing was laid out: never zero, so a
// stream missing its end byte runs on visibly instead of stopping by luck,
// and a stray zero written anywhere is easy to spot.
std::uint8_t FillerAt(std::int32_t offset);

class RomBuilder {
 public:
  // A blank image of exactly kRomSize bytes: an iNES header, filler bytes,
  // zeroed set tables (every song's first, last and loop part 0, every part
  // table entry and header byte 0) and no parts.
  RomBuilder();

  // Lays out `streams` back to back (a packed part) in free room of the
  // music bank, writes its 7-byte header in the set's header area and its
  // entry in the set's part table. Returns the new part number (0, 1, 2...
  // per set). Throws std::invalid_argument when stream 1 or 5 does not end
  // at its first zero byte, std::length_error when a header offset would not
  // fit in a byte, or when the bank, the header area or the part table is
  // full.
  int AddPart(SongSet set, const PartStreams& streams);

  // A new part number of `set` whose part table entry is that of
  // `partNumber`: both numbers load the same header and streams.
  int SharePart(SongSet set, int partNumber);

  // Writes song `index`'s (0 to 15) first, last and loop part bytes of
  // `set`. Throws std::out_of_range for an index or a part number (0 to 255)
  // outside its range.
  void SetSong(SongSet set, int index, int first, int last, int loop);

  // Raw access for the bytes a test cares about. Throw std::out_of_range
  // outside the image.
  void Poke(std::int32_t offset, std::uint8_t value);
  void Poke(std::int32_t offset, std::span<const std::uint8_t> bytes);
  std::uint8_t Peek(std::int32_t offset) const;

  // File offset of a part's header and of its first stream, read from the
  // part table and header bytes as they now stand in the image.
  std::int32_t HeaderPosition(SongSet set, int partNumber) const;
  std::int32_t PartStart(SongSet set, int partNumber) const;

  // Part numbers handed out so far in `set`.
  int PartCount(SongSet set) const;

  const std::vector<std::uint8_t>& Image() const { return image_; }
  // Writes the whole image to `path` as it is (no ".nes" rule).
  bool WriteTo(const std::string& path) const;

 private:
  struct FreeRoom {
    std::int32_t next;  // first unused offset
    std::int32_t end;   // one past the last usable offset
  };
  struct SetBookkeeping {
    int partCount = 0;
    int headerCount = 0;
  };

  std::int32_t TakeRoom(std::int32_t size);
  int AddPartNumber(SongSet set, std::uint8_t entry);
  SetBookkeeping& Books(SongSet set);
  const SetBookkeeping& Books(SongSet set) const;

  std::vector<std::uint8_t> image_;
  std::vector<FreeRoom> freeRoom_;
  std::array<SetBookkeeping, 2> books_{};
};

// The demo ROM: every song of the song list (both sets) has parts to show
// and edit.
RomBuilder BuildDemoRom();
std::vector<std::uint8_t> MakeDemoRom();

}  // namespace kestrin::demo
