#include "editor_facts.h"

#include <atomic>

namespace kestrin::crash {

namespace {
// Process-wide: the fatal-signal handler reads it.
std::atomic<EditorFactsSource> source{nullptr};
}  // namespace

void SetEditorFactsSource(EditorFactsSource newSource) { source.store(newSource); }
EditorFactsSource CurrentEditorFactsSource() { return source.load(); }

}  // namespace kestrin::crash
