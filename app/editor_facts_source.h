#pragma once
// What the crash report says about the editor: the file opened, the song
// chosen and the part loaded, read from a window's editing state.

#include "editor_facts.h"
#include "editing_state.h"

namespace kestrin {

crash::EditorFacts FactsOf(const EditingState& state);

}  // namespace kestrin
