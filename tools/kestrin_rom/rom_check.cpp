#include "rom_check.h"

#include <algorithm>
#include <array>

#include "square_events.h"

namespace kestrin::rom_tool {
namespace {

constexpr int kDmcStream = 4;

std::string SongName(const SongSite& song) {
  return "song " + std::string(song.item->text) + " (set " + std::to_string(static_cast<int>(song.item->set)) +
         ", index " + Hex(song.item->tableIndex) + ")";
}

std::string PartName(const PartSite& part) { return PlacesText(part.places); }

// What the iNES format puts first: "NES" and the byte 1A.
constexpr std::array<std::uint8_t, 4> kInesMagic{'N', 'E', 'S', 0x1A};
// The NES maps cartridge program banks from 8000 up; below lie RAM and
// registers, so no music is read there.
constexpr std::int32_t kLowestProgramAddress = 0x8000;

void CheckInesHeader(const RomView& rom, std::vector<Problem>& problems) {
  const auto& image = rom.Image();
  if (std::equal(kInesMagic.begin(), kInesMagic.end(), image.begin())) return;
  std::string first;
  for (std::size_t i = 0; i < kInesMagic.size(); ++i) first += (i ? " " : "") + HexByte(image[i]);
  problems.push_back({ProblemKind::NoInesHeader,
                      "the file does not begin with the iNES header (\"NES\" 1A): its first bytes are " + first,
                      {}});
}

void CheckPartTableReach(const SongSite& song, std::vector<Problem>& problems) {
  const std::int32_t count = PartNumberCount(song.item->set);
  std::vector<PartPlace> beyond;
  for (const PartPlace& place : RomView::Lines(song)) {
    if (place.partNumber >= count) beyond.push_back(place);
  }
  if (beyond.empty()) return;
  problems.push_back({ProblemKind::PastPartTable,
                      SongName(song) + ": parts " + Hex(beyond.front().partNumber) + " to " +
                          Hex(beyond.back().partNumber) + " (lines " + std::to_string(beyond.front().line) +
                          " to " + std::to_string(beyond.back().line) + ") lie past the part table of set " +
                          std::to_string(static_cast<int>(song.item->set)) + ", which holds parts 0 to " +
                          Hex(count - 1) + "; their entries are bytes of the header area",
                      beyond});
}

void CheckPartAddress(const PartSite& part, std::vector<Problem>& problems) {
  const std::int32_t address = part.header[1] | part.header[2] << 8;
  if (address >= kLowestProgramAddress) return;
  problems.push_back({ProblemKind::AddressOutside,
                      PartName(part) + ": part address " + Hex(address) +
                          " points outside the music bank (below 8000, where the NES maps no program bank)",
                      part.places});
}

std::string ByteCount(std::int32_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

void CheckSongOrder(const SongSite& song, std::vector<Problem>& problems) {
  if (song.last < song.first) {
    problems.push_back({ProblemKind::SongOrder, SongName(song) + ": first part " + Hex(song.first) +
                                                    " is higher than last part " + Hex(song.last) +
                                                    ", the game may not work properly", {}});
  } else if (song.loop < song.first || song.loop > song.last) {
    problems.push_back({ProblemKind::SongOrder, SongName(song) + ": loop part " + Hex(song.loop) +
                                                    " is out of the song's parts " + Hex(song.first) + " to " +
                                                    Hex(song.last) + ", the game may not work properly", {}});
  }
}

// Where the first zero byte from `from` lies, or the image size when none.
std::size_t FirstZero(const std::vector<std::uint8_t>& image, std::size_t from) {
  return static_cast<std::size_t>(std::find(image.begin() + static_cast<std::ptrdiff_t>(from), image.end(), 0) -
                                  image.begin());
}

void CheckUnloadablePart(const RomView& rom, const PartSite& part, std::vector<Problem>& problems) {
  // LoadPart only fails when a zero-ended stream finds no zero at all.
  const auto address = static_cast<std::uint16_t>(part.header[1] | part.header[2] << 8);
  const auto start = static_cast<std::size_t>(NesAddressToFileOffset(address));
  const bool square1Ends = FirstZero(rom.Image(), start) < rom.Image().size();
  problems.push_back({ProblemKind::MissingEndByte,
                      PartName(part) + ": " + std::string(kChannelNames[square1Ends ? 4 : 0]) +
                          " has no end byte before the end of the file",
                      part.places});
}

void CheckLoadedPart(const PartSite& part, std::vector<Problem>& problems) {
  const PartHeader& h = part.header;
  if (!part.channelsCopied) {
    problems.push_back({ProblemKind::PartNotLoadable,
                        PartName(part) + ": cannot be loaded, its stream offsets do not ascend (Triangle offset " +
                            Hex(h[4]) + ", Square2 offset " + Hex(h[3]) + ", Noise offset " + Hex(h[5]) +
                            ", DMC offset " + Hex(h[6]) + ")",
                        part.places});
    return;
  }
  const bool dmcIsPartStart = h[6] == 0;
  for (const int k : {0, kDmcStream}) {
    if (k == kDmcStream && dmcIsPartStart) continue;
    const auto index = static_cast<std::size_t>(k);
    const std::int32_t end = part.position[index] + part.length[index] - 1;
    if (end > kMusicBankLast) {
      problems.push_back({ProblemKind::MissingEndByte,
                          PartName(part) + ": " + std::string(kChannelNames[index]) + " at " +
                              Offset(part.position[index]) + " has no end byte inside the music bank",
                          part.places});
    }
  }
  for (std::size_t k = 1; k < 4; ++k) {
    if (part.length[k] > 0 && part.position[k] + part.length[k] - 1 > kMusicBankLast) {
      problems.push_back({ProblemKind::OutsideMusicBank, PartName(part) + ": " + std::string(kChannelNames[k]) +
                                                             " at " + Offset(part.position[k]) +
                                                             " reaches past the end of the music bank",
                          part.places});
    }
  }
  // A DMC offset of 0 makes stream 5 the part's first byte on purpose.
  const std::size_t streamCount = dmcIsPartStart ? 4 : 5;
  for (std::size_t a = 0; a < streamCount; ++a) {
    for (std::size_t b = a + 1; b < streamCount; ++b) {
      if (part.length[a] <= 0 || part.length[b] <= 0) continue;
      const bool apart = part.position[a] + part.length[a] <= part.position[b] ||
                         part.position[b] + part.length[b] <= part.position[a];
      if (apart) continue;
      problems.push_back({ProblemKind::StreamsOverlap,
                          PartName(part) + ": " + std::string(kChannelNames[a]) + " (" +
                              Offset(part.position[a]) + ", " + ByteCount(part.length[a]) + ") and " +
                              std::string(kChannelNames[b]) + " (" + Offset(part.position[b]) + ", " +
                              ByteCount(part.length[b]) + ") overlap",
                          part.places});
    }
  }
}

std::vector<PartPlace> Joined(std::vector<PartPlace> a, const std::vector<PartPlace>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A stream of one part.
struct StreamSpan {
  const PartSite* part;
  std::size_t stream;
  std::int32_t first;
  std::int32_t end;  // one past the last byte
};

// Streams of different parts that share bytes: an edit of one changes the
// other. Two headers with one part address, or the same stretch used whole
// by two parts, are deliberate reuse.
void CheckPartsAgainstEachOther(const std::vector<PartSite>& parts, std::vector<Problem>& problems) {
  std::vector<StreamSpan> spans;
  for (const PartSite& part : parts) {
    if (!part.channelsCopied) continue;
    const std::size_t streamCount = part.header[6] == 0 ? 4 : 5;
    for (std::size_t k = 0; k < streamCount; ++k) {
      if (part.length[k] > 0) spans.push_back({&part, k, part.position[k], part.position[k] + part.length[k]});
    }
  }
  std::stable_sort(spans.begin(), spans.end(),
                   [](const StreamSpan& a, const StreamSpan& b) { return a.first < b.first; });
  for (std::size_t a = 0; a < spans.size(); ++a) {
    for (std::size_t b = a + 1; b < spans.size() && spans[b].first < spans[a].end; ++b) {
      const StreamSpan& x = spans[a];
      const StreamSpan& y = spans[b];
      const bool samePartData = x.part->position[0] == y.part->position[0];
      if (x.part == y.part || samePartData || (x.first == y.first && x.end == y.end)) continue;
      problems.push_back({ProblemKind::StreamsOverlap,
                          PartName(*x.part) + " " + std::string(kChannelNames[x.stream]) + " (" + Offset(x.first) +
                              ", " + ByteCount(x.end - x.first) + ") and " + PartName(*y.part) + " " +
                              std::string(kChannelNames[y.stream]) + " (" + Offset(y.first) + ", " +
                              ByteCount(y.end - y.first) + ") overlap",
                          Joined(x.part->places, y.part->places)});
    }
  }
}

}  // namespace

std::string PlacesText(const std::vector<PartPlace>& places) {
  std::string text;
  for (const PartPlace& place : places) text += (text.empty() ? "" : " and ") + PartPlaceText(place);
  return text;
}

std::string_view ProblemKindName(ProblemKind kind) {
  switch (kind) {
    case ProblemKind::NoInesHeader:
      return "no iNES header";
    case ProblemKind::PastPartTable:
      return "past the part table";
    case ProblemKind::AddressOutside:
      return "part address outside the music bank";
    case ProblemKind::SongOrder:
      return "song order";
    case ProblemKind::PartNotLoadable:
      return "part cannot be loaded";
    case ProblemKind::MissingEndByte:
      return "no end byte";
    case ProblemKind::StreamsOverlap:
      return "streams overlap";
    case ProblemKind::OutsideMusicBank:
      return "outside the music bank";
  }
  return "problem";
}

std::vector<Problem> CheckRom(RomView& rom) {
  std::vector<Problem> problems;
  CheckInesHeader(rom, problems);
  for (const SongSite& song : rom.Songs()) {
    CheckSongOrder(song, problems);
    CheckPartTableReach(song, problems);
  }
  const std::vector<PartSite> parts = rom.ListedParts();
  for (const PartSite& part : parts) {
    CheckPartAddress(part, problems);
    if (part.loaded) {
      CheckLoadedPart(part, problems);
    } else {
      CheckUnloadablePart(rom, part, problems);
    }
  }
  CheckPartsAgainstEachOther(parts, problems);
  return problems;
}

}  // namespace kestrin::rom_tool
