#include "edit_place.h"

#include "shell_texts.h"

namespace kestrin {

QString PlaceText(const SongLine& where) {
  if (where.song < 0) return {};
  // Two upper-case hexadecimal digits, as the song list writes them.
  const QString number = QString::number(where.song, 16).toUpper().rightJustified(2, QLatin1Char('0'));
  const QString song = shell_texts::kSongPlace.arg(number);
  return where.line > 0 ? shell_texts::kSongLinePlace.arg(song, QString::number(where.line)) : song;
}

QString StepText(const QString& name, const EditPlace& place) {
  const QString where = PlaceText(place.where);
  return where.isEmpty() ? name : shell_texts::kStepAtPlace.arg(name, where);
}

}  // namespace kestrin
