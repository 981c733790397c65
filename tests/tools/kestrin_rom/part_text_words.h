#pragma once
// The words of one section of a part's text, found the plain way, so tests
// can point at a word and change it: a section's word opens it, the next
// section's word closes it, and ";" starts a comment.

#include <set>
#include <string>
#include <vector>

namespace kestrin::rom_tool::testing {

struct FoundWord {
  std::size_t at = 0;  // in the text
  std::size_t length = 0;
  int line = 0;
  int column = 0;
};

inline std::vector<FoundWord> SectionWords(const std::string& text, const std::string& section) {
  const std::set<std::string> sections{"header", "square1", "square2", "triangle", "noise", "dmc", "song", "set"};
  std::vector<FoundWord> words;
  bool inside = false;
  int line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '\n') {
      ++line;
      lineStart = ++i;
    } else if (text[i] == ';') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (text[i] == ' ') {
      ++i;
    } else {
      const std::size_t start = i;
      while (i < text.size() && text[i] != ' ' && text[i] != '\n' && text[i] != ';') ++i;
      const std::string word = text.substr(start, i - start);
      if (sections.count(word)) {
        inside = word == section;
      } else if (inside) {
        words.push_back({start, i - start, line, static_cast<int>(start - lineStart) + 1});
      }
    }
  }
  return words;
}

inline std::string Replaced(std::string text, const FoundWord& word, const std::string& with) {
  return text.replace(word.at, word.length, with);
}

}  // namespace kestrin::rom_tool::testing
