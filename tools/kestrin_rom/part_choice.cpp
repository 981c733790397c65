#include "part_choice.h"

#include "square_events.h"

namespace kestrin::rom_tool {

std::string ChosenPart::Name() const {
  if (place) return PartPlaceText(*place);
  return "set " + std::to_string(static_cast<int>(set)) + " part " + Hex(part) + " (entry " +
         Hex(site.headerPosition - LayoutOf(set).headerAreaBase) + ")";
}

std::variant<ChosenPart, std::string> ChoosePart(RomView& rom, const PartAddress& address) {
  ChosenPart chosen;
  if (address.form == PartAddress::Form::SongLine) {
    const SongSite song = rom.Song(address.song);
    const std::string songName = "song " + std::string(SongCode(*song.item));
    if (!song.listRead) return songName + " has no part list: its last part lies three or more below its first";
    const std::size_t lines = song.partList.size();
    if (address.line < 1 || static_cast<std::size_t>(address.line) > lines) {
      return songName + " has no line " + std::to_string(address.line) + ": its part list has " +
             std::to_string(lines) + (lines == 1 ? " line" : " lines");
    }
    chosen.place = RomView::Lines(song)[static_cast<std::size_t>(address.line - 1)];
    chosen.set = song.item->set;
    chosen.part = chosen.place->partNumber;
  } else {
    const std::int32_t count = PartNumberCount(address.set);
    if (address.part < 0 || address.part >= count) {
      return "part " + Hex(address.part) + " lies past the part table of set " +
             std::to_string(static_cast<int>(address.set)) + ", which holds parts 0 to " + Hex(count - 1);
    }
    chosen.set = address.set;
    chosen.part = address.part;
  }
  chosen.site = rom.Part(chosen.set, chosen.part);
  chosen.places = rom.PlacesOf(chosen.set, chosen.part);
  chosen.site.places = chosen.places;
  return chosen;
}

}  // namespace kestrin::rom_tool
