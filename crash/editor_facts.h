#pragma once
// What the editor had open when it failed: numbers and the file's name only,
// never bytes of the ROM. The program registers one source; it is read inside
// the fatal-signal handler too, so it must only copy plain fields.

namespace kestrin::crash {

struct EditorFacts {
  const char* fileName = nullptr;  // the opened file; null when none
  bool fileLoaded = false;
  int songSet = 0;  // 1 or 2
  bool songChosen = false;
  int firstPart = 0;
  int lastPart = 0;
  int loopPart = 0;
  bool partLoaded = false;
  long headerPosition = 0;  // file offset of the loaded part's header
  long square1Length = 0;
};

using EditorFactsSource = EditorFacts (*)();

// The source is process-wide: the fatal-signal handler has no other way to
// reach it. Null (the default) reports that nothing is known.
void SetEditorFactsSource(EditorFactsSource source);
EditorFactsSource CurrentEditorFactsSource();

}  // namespace kestrin::crash
