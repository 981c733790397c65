#include "edit_place.h"

#include "part_places.h"
#include "shell_texts.h"

namespace kestrin {

QString PlaceText(const SongLine& where) {
  if (where.song < 0) return {};
  // The code the song's drop-down item begins with, as kestrin-rom names it
  // ("01", "0F", "20"); song 0, read with no item chosen, is "00".
  const bool listed = where.song >= 1 && static_cast<std::size_t>(where.song) <= kSongList.size();
  const QString number =
      listed ? QString::fromLatin1(SongCode(kSongList[static_cast<std::size_t>(where.song) - 1]))
             : QString::number(where.song, 16).toUpper().rightJustified(2, QLatin1Char('0'));
  const QString song = shell_texts::kSongPlace.arg(number);
  return where.line > 0 ? shell_texts::kSongLinePlace.arg(song, QString::number(where.line)) : song;
}

QString StepText(const QString& name, const EditPlace& place) {
  const QString where = PlaceText(place.where);
  return where.isEmpty() ? name : shell_texts::kStepAtPlace.arg(name, where);
}

}  // namespace kestrin
