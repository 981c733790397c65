#pragma once
// The window's names for a part: a song of the song drop-down and a line of
// that song's part list. Line 1 is the list's top line; selecting line n
// loads part number first part + n - 1, whose part table entry the line
// shows. "song 01, line 2 (entry E, part 1)" says all three.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "music_bank.h"
#include "song_list.h"

namespace kestrin {

struct PartPlace {
  std::size_t song = 0;         // position in kSongList
  std::int32_t line = 0;        // 1 for the top line of the part list
  std::int32_t entry = 0;       // the part table entry the line shows
  std::int32_t partNumber = 0;  // the part loaded: first part + line - 1

  friend bool operator==(const PartPlace&, const PartPlace&) = default;
  friend auto operator<=>(const PartPlace&, const PartPlace&) = default;
};

// The code a song list item begins with: "01" to "0E" for the titled songs,
// then "0F", "10", "20", ... "B0".
std::string_view SongCode(const SongListItem& item);

// The song list position of a song named by its code (either case; one
// digit is read with a leading 0, so "1" is "01") or by its whole item text.
std::optional<std::size_t> FindSong(std::string_view name);

// "song 01, line 2"
std::string SongLineText(std::size_t song, std::int32_t line);
// "song 01, line 2 (entry E, part 1)"
std::string PartPlaceText(const PartPlace& place);

// Part numbers a set's part table holds: it ends where the set's header
// area begins (0 to 2B in set 1, 0 to 2C in set 2). A larger part number
// reads a byte of the header area as its entry.
constexpr std::int32_t PartNumberCount(SongSet set) {
  return LayoutOf(set).headerAreaBase - LayoutOf(set).partTable;
}

}  // namespace kestrin
