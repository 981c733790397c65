#pragma once
// A loaded ROM image read the way the editor reads it: songs through
// GetSongParts, parts through LoadPart. The commands of kestrin-rom all look
// at an image through this.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "editing_state.h"
#include "part_places.h"
#include "song_list.h"

namespace kestrin::rom_tool {

inline constexpr std::array<std::string_view, kStreamCount> kChannelNames{"Square 1", "Square 2", "Triangle",
                                                                          "Noise", "DMC"};
// The header bytes under the names of the editor's header boxes.
inline constexpr std::array<std::string_view, kPartHeaderSize> kHeaderFieldNames{
    "Tempo", "Part Address low", "Part Address high", "Square2 offset", "Triangle offset", "Noise offset",
    "DMC offset"};
inline constexpr std::array<std::string_view, 3> kSongFieldNames{"first part", "last part", "loop part"};

// One item of the song list as the image holds it.
struct SongSite {
  std::size_t listPosition = 0;  // 0 to 25; the song's number is this + 1
  const SongListItem* item = nullptr;
  std::int32_t first = 0;
  std::int32_t last = 0;
  std::int32_t loop = 0;
  std::vector<std::int32_t> partList;  // part table entries, first to last
  bool listRead = false;               // GetSongParts succeeded
};

// One part number of a set as the image holds it.
struct PartSite {
  SongSet set = SongSet::One;
  std::int32_t part = 0;
  std::int32_t entryPosition = 0;   // its byte in the part table
  std::int32_t headerPosition = 0;
  PartHeader header{};
  bool loaded = false;  // LoadPart succeeded: both zero-ended streams end inside the image
  bool channelsCopied = false;  // CopyChannels succeeded: no stream length is negative
  std::array<std::int32_t, kStreamCount> position{};
  std::array<std::int32_t, kStreamCount> length{};
  // The lines of the song list that load this header (ListedParts and
  // PlacesOf fill it), in song list order.
  std::vector<PartPlace> places;
};

class RomView {
 public:
  explicit RomView(std::vector<std::uint8_t> image);

  const std::vector<std::uint8_t>& Image() const { return state_.romImage; }

  SongSite Song(std::size_t listPosition);
  std::vector<SongSite> Songs();
  // The lines of a song's part list, top line first.
  static std::vector<PartPlace> Lines(const SongSite& song);
  // Every line of the song list that loads the header of part `part` of
  // `set`: the lines of that part number and of any other part number whose
  // entry is the same.
  std::vector<PartPlace> PlacesOf(SongSet set, std::int32_t part);
  PartSite Part(SongSet set, std::int32_t part);
  // Every part listed by a song of the song list, in list order; a part
  // whose header another listed part of its set already uses is left out,
  // and its lines join that part's places.
  std::vector<PartSite> ListedParts();
  // The bytes of stream `k` of a loaded part; empty for a negative length.
  std::vector<std::uint8_t> StreamBytes(const PartSite& site, int k) const;

 private:
  EditingState state_;
};

}  // namespace kestrin::rom_tool
