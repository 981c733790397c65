#pragma once
// Where an edit was made: the song and the line of its part list, the part
// it went to, and the control (and grid cell) to show it in again. Undo and
// redo name the place in the Edit menu and on the status line, and show it
// when it is on view.

#include <QString>
#include <cstdint>

#include "music_bank.h"

namespace kestrin {

// A part as the song page reached it: song `song` (numbered as "Selected
// song %X" numbers it, and named by its drop-down item's code), line `line` of its part list (from 1), part number
// `part` of song set `set`. Line 0 names the song alone; song -1 nothing.
struct SongLine {
  std::int32_t song = -1;
  std::int32_t line = 0;
  SongSet set = SongSet::One;
  std::int32_t part = -1;
  bool SamePart(const SongLine& other) const { return part >= 0 && part == other.part && set == other.set; }
};

struct EditPlace {
  SongLine where;
  // objectName of the grid or box the edit was made in (a literal).
  const char* control = "";
  // The grid cell, for edits in a grid.
  int column = -1;
  int row = -1;
};

// "song 01, line 2", or "song 01" for a place of the song alone; empty for
// no place.
QString PlaceText(const SongLine& where);
// The name of an undo step made at `place`: "note edit on Square 1 (song 01,
// line 2)". The Edit menu and the status line both show it.
QString StepText(const QString& name, const EditPlace& place);

}  // namespace kestrin
