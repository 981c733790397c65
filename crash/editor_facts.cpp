#include "editor_facts.h"

#include <atomic>

namespace kestrin::crash {

namespace {

// Process-wide: the fatal-signal handler has no other way in.
std::atomic<EditorFactsSource> source{nullptr};

// Two copies: the program fills the one the handler is not reading, then
// points the handler at it, so a signal never meets a half-written copy.
struct FactsCopy {
  EditorFacts facts;
  char fileName[4096];
};
FactsCopy copies[2];
std::atomic<int> published{-1};

}  // namespace

void SetEditorFactsSource(EditorFactsSource newSource) { source.store(newSource); }
EditorFactsSource CurrentEditorFactsSource() { return source.load(); }

void PublishEditorFacts(const EditorFacts& facts) {
  const int next = published.load() == 0 ? 1 : 0;
  FactsCopy& copy = copies[next];
  copy.facts = facts;
  if (facts.fileName != nullptr) {
    std::size_t length = 0;
    for (; facts.fileName[length] != '\0' && length + 1 < sizeof copy.fileName; ++length)
      copy.fileName[length] = facts.fileName[length];
    copy.fileName[length] = '\0';
    copy.facts.fileName = copy.fileName;
  }
  published.store(next);
}

EditorFacts PublishedEditorFacts() {
  const int current = published.load();
  return current < 0 ? EditorFacts{} : copies[current].facts;
}

}  // namespace kestrin::crash
