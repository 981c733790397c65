#include "rom_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "editing_state.h"

namespace kestrin::demo {
namespace {

// A made-up iNES header: 24 program banks of 16 KiB (0x60000 bytes), no
// character banks, mapper bits chosen freely. The editor never reads it.
constexpr std::array<std::uint8_t, 16> kInesHeader{
    'N', 'E', 'S', 0x1A, 0x18, 0x00, 0x40, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};

// Everything from a set's part table to its last song table byte is table
// space; streams never go there.
struct TableSpace {
  std::int32_t first;
  std::int32_t end;  // one past the last byte
};
constexpr std::int32_t kSongTablesSize = 3 * kSongTableStride + 1;

constexpr TableSpace TableSpaceOf(const SongSetLayout& layout) {
  return {layout.partTable, layout.songTableBase + kSongTablesSize};
}

// The part table runs into the header area, so a set has only as many part
// numbers as fit between the two.
constexpr int PartNumberCapacity(const SongSetLayout& layout) {
  return layout.headerAreaBase - layout.partTable;
}

// Header slots must end before the song tables begin.
constexpr int HeaderCapacity(const SongSetLayout& layout) {
  const int room = layout.songTableBase - layout.headerAreaBase;  // entry + 7 <= room
  return (room - kPartHeaderSize - kFirstHeaderEntry) / kHeaderEntryStep + 1;
}

void CheckEndsAtFirstZero(const std::vector<std::uint8_t>& stream, const char* name) {
  const auto zero = std::find(stream.begin(), stream.end(), std::uint8_t{0});
  if (zero == stream.end() || zero + 1 != stream.end()) {
    throw std::invalid_argument(std::string(name) + " must end at its first zero byte");
  }
}

std::uint8_t OffsetByte(std::size_t offset) {
  if (offset > 0xFF) {
    throw std::length_error("part too long: a header offset does not fit in a byte");
  }
  return static_cast<std::uint8_t>(offset);
}

std::size_t Index(std::int32_t offset) {
  if (offset < 0 || offset >= kRomSize) {
    throw std::out_of_range("offset outside the ROM image");
  }
  return static_cast<std::size_t>(offset);
}

}  // namespace

std::uint8_t FillerAt(std::int32_t offset) {
  const auto mixed = static_cast<std::uint32_t>(offset) * 2654435761U;
  return static_cast<std::uint8_t>((mixed >> 24) % 255U + 1U);
}

RomBuilder::RomBuilder() : image_(static_cast<std::size_t>(kRomSize)) {
  for (std::int32_t offset = 0; offset < kRomSize; ++offset) {
    image_[static_cast<std::size_t>(offset)] = FillerAt(offset);
  }
  std::copy(kInesHeader.begin(), kInesHeader.end(), image_.begin());
  for (const auto* layout : {&kSongSet1Layout, &kSongSet2Layout}) {
    const auto tables = TableSpaceOf(*layout);
    std::fill(image_.begin() + tables.first, image_.begin() + tables.end, std::uint8_t{0});
  }
  freeRoom_ = {
      {kMusicBankFirst, TableSpaceOf(kSongSet1Layout).first},
      {TableSpaceOf(kSongSet1Layout).end, TableSpaceOf(kSongSet2Layout).first},
      {TableSpaceOf(kSongSet2Layout).end, kMusicBankLast + 1},
  };
}

RomBuilder::SetBookkeeping& RomBuilder::Books(SongSet set) {
  return books_[set == SongSet::One ? 0 : 1];
}

const RomBuilder::SetBookkeeping& RomBuilder::Books(SongSet set) const {
  return books_[set == SongSet::One ? 0 : 1];
}

std::int32_t RomBuilder::TakeRoom(std::int32_t size) {
  for (auto& room : freeRoom_) {
    if (room.end - room.next >= size) {
      const std::int32_t start = room.next;
      room.next += size;
      return start;
    }
  }
  throw std::length_error("no free room left in the music bank");
}

int RomBuilder::AddPartNumber(SongSet set, std::uint8_t entry) {
  auto& books = Books(set);
  const auto& layout = LayoutOf(set);
  if (books.partCount >= PartNumberCapacity(layout)) {
    throw std::length_error("the part table of this song set is full");
  }
  const int partNumber = books.partCount++;
  image_[static_cast<std::size_t>(layout.partTable + partNumber)] = entry;
  return partNumber;
}

int RomBuilder::AddPart(SongSet set, const PartStreams& streams) {
  CheckEndsAtFirstZero(streams.square1, "square1");
  CheckEndsAtFirstZero(streams.dmc, "dmc");

  const std::size_t square2At = streams.square1.size();
  const std::size_t stream3At = square2At + streams.square2.size();
  const std::size_t stream4At = stream3At + streams.stream3.size();
  const std::size_t dmcAt = stream4At + streams.stream4.size();
  const std::array<std::uint8_t, kPartHeaderSize - 3> offsets{
      OffsetByte(stream3At), OffsetByte(square2At), OffsetByte(stream4At), OffsetByte(dmcAt)};
  const std::size_t partSize = dmcAt + streams.dmc.size();

  auto& books = Books(set);
  const auto& layout = LayoutOf(set);
  if (books.headerCount >= HeaderCapacity(layout)) {
    throw std::length_error("the header area of this song set is full");
  }
  if (books.partCount >= PartNumberCapacity(layout)) {
    throw std::length_error("the part table of this song set is full");
  }
  const std::int32_t start = TakeRoom(static_cast<std::int32_t>(partSize));

  auto out = image_.begin() + start;
  for (const auto* stream :
       {&streams.square1, &streams.square2, &streams.stream3, &streams.stream4, &streams.dmc}) {
    out = std::copy(stream->begin(), stream->end(), out);
  }

  const auto entry =
      static_cast<std::uint8_t>(kFirstHeaderEntry + kHeaderEntryStep * books.headerCount++);
  const auto address = static_cast<std::uint16_t>(kPartAddressBase + (start - kMusicBankFirst));
  const std::array<std::uint8_t, kPartHeaderSize> header{
      streams.tempo,
      static_cast<std::uint8_t>(address & 0xFF),
      static_cast<std::uint8_t>(address >> 8),
      offsets[0],
      offsets[1],
      offsets[2],
      offsets[3]};
  std::copy(header.begin(), header.end(), image_.begin() + layout.headerAreaBase + entry);
  return AddPartNumber(set, entry);
}

int RomBuilder::SharePart(SongSet set, int partNumber) {
  if (partNumber < 0 || partNumber >= Books(set).partCount) {
    throw std::out_of_range("no such part to share");
  }
  const auto& layout = LayoutOf(set);
  return AddPartNumber(set, image_[static_cast<std::size_t>(layout.partTable + partNumber)]);
}

void RomBuilder::SetSong(SongSet set, int index, int first, int last, int loop) {
  if (index < 0 || index > kHighestSongTableIndex) {
    throw std::out_of_range("song table index outside 0 to 15");
  }
  const std::array<int, 3> parts{first, last, loop};
  for (std::size_t table = 0; table < parts.size(); ++table) {
    if (parts[table] < 0 || parts[table] > 0xFF) {
      throw std::out_of_range("part number outside 0 to 255");
    }
    const std::int32_t position = LayoutOf(set).songTableBase +
                                  kSongTableStride * static_cast<std::int32_t>(table) + index;
    image_[static_cast<std::size_t>(position)] = static_cast<std::uint8_t>(parts[table]);
  }
}

void RomBuilder::Poke(std::int32_t offset, std::uint8_t value) { image_[Index(offset)] = value; }

void RomBuilder::Poke(std::int32_t offset, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) {
    return;
  }
  Index(offset);
  Index(offset + static_cast<std::int32_t>(bytes.size()) - 1);
  std::copy(bytes.begin(), bytes.end(), image_.begin() + offset);
}

std::uint8_t RomBuilder::Peek(std::int32_t offset) const { return image_[Index(offset)]; }

std::int32_t RomBuilder::HeaderPosition(SongSet set, int partNumber) const {
  if (partNumber < 0 || partNumber > 0xFF) {
    throw std::out_of_range("part number outside 0 to 255");
  }
  const auto& layout = LayoutOf(set);
  return layout.headerAreaBase + Peek(layout.partTable + partNumber);
}

std::int32_t RomBuilder::PartStart(SongSet set, int partNumber) const {
  const std::int32_t header = HeaderPosition(set, partNumber);
  const auto address = static_cast<std::uint16_t>(Peek(header + 1) | (Peek(header + 2) << 8));
  return NesAddressToFileOffset(address);
}

int RomBuilder::PartCount(SongSet set) const { return Books(set).partCount; }

bool RomBuilder::WriteTo(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image_.data()),
            static_cast<std::streamsize>(image_.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace kestrin::demo
