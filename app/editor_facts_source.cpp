#include "editor_facts_source.h"

namespace kestrin {

crash::EditorFacts FactsOf(const EditingState& state) {
  // Plain field copies only: this also runs inside the fatal-signal handler.
  crash::EditorFacts facts;
  facts.fileLoaded = state.fileLoaded;
  facts.fileName = state.currentFileName.c_str();
  facts.songChosen = !state.songPartList.empty();
  facts.songSet = static_cast<int>(state.songSet);
  facts.firstPart = state.firstPart;
  facts.lastPart = state.lastPart;
  facts.loopPart = state.loopPart;
  facts.partLoaded = state.partLoaded;
  facts.headerPosition = state.headerPosition;
  facts.square1Length = state.streamLength[kSquare1Stream];
  return facts;
}

}  // namespace kestrin
