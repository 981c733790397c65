#include "part_places.h"

#include <cstdio>

namespace kestrin {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

std::string UpperHex(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::string_view SongCode(const SongListItem& item) { return item.text.substr(0, item.text.find('-')); }

std::optional<std::size_t> FindSong(std::string_view name) {
  const std::string padded = name.size() == 1 ? "0" + std::string(name) : std::string(name);
  for (std::size_t k = 0; k < kSongList.size(); ++k) {
    if (SameIgnoringCase(padded, SongCode(kSongList[k])) || SameIgnoringCase(name, kSongList[k].text)) return k;
  }
  return std::nullopt;
}

std::string SongLineText(std::size_t song, std::int32_t line) {
  const std::string_view code = song < kSongList.size() ? SongCode(kSongList[song]) : std::string_view("?");
  return "song " + std::string(code) + ", line " + std::to_string(line);
}

std::string PartPlaceText(const PartPlace& place) {
  return SongLineText(place.song, place.line) + " (entry " + UpperHex(place.entry) + ", part " +
         UpperHex(place.partNumber) + ")";
}

}  // namespace kestrin
