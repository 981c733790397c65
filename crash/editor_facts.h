#pragma once
// What the editor had open when it failed: numbers and the file's name only,
// never bytes of the ROM.

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

// The live source, read when an exception is reported (the program is still
// sound then). Process-wide; null (the default) reports that nothing is known.
void SetEditorFactsSource(EditorFactsSource source);
EditorFactsSource CurrentEditorFactsSource();

// A copy for the fatal-signal handler, which must not follow the editor's
// live objects: a crash may have left them half changed. The program
// publishes one after every event it delivers; the copy keeps the file name
// in a buffer of its own (cut at 4095 bytes).
void PublishEditorFacts(const EditorFacts& facts);
// The copy published last; nothing known before the first. Async-signal-safe:
// plain loads from fixed buffers.
EditorFacts PublishedEditorFacts();

}  // namespace kestrin::crash
