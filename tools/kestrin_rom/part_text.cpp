#include "part_text.h"

#include <optional>

#include "byte_tokens.h"
#include "channel_bytes.h"
#include "part_places.h"
#include "rom_view.h"
#include "square_events.h"

namespace kestrin::rom_tool {
namespace {

constexpr char kComment = ';';
// Comments after words start in this column, where the words leave room.
constexpr std::size_t kCommentColumn = 48;
constexpr std::size_t kSquareWordsPerLine = 12;
constexpr std::size_t kHexWordsPerLine = 16;

constexpr std::string_view kPreamble =
    "; A Kestrin part as text: one word per byte. Change words in place, then\n"
    ";   kestrin-rom import ROM THIS-FILE -o OUT.nes\n"
    "; Square 1 and Square 2: C#4 is a note (\"+\" marks the odd byte of a\n"
    "; semitone: C4 is 30, C4+ is 31), rest, end (the end byte), i8:1 note\n"
    "; properties (Instr. 8, length 1), 0x7F and 0x80 left uninterpreted.\n"
    "; Triangle, Noise and DMC: hexadecimal bytes. Every channel keeps its\n"
    "; number of bytes; 00 stays 00 and no other byte becomes 00.\n";

bool IsSquare(std::size_t stream) { return stream == kSquare1Stream || stream == kSquare2Stream; }

std::string WithComment(std::string words, const std::string& comment) {
  if (comment.empty()) return words + '\n';
  words += words.size() < kCommentColumn ? std::string(kCommentColumn - words.size(), ' ') : " ";
  return words + "; " + comment + '\n';
}

std::string AddressWords(const PartAddress& address) {
  if (address.form == PartAddress::Form::SongLine) {
    return "song " + std::string(SongCode(kSongList.at(address.song))) + " line " + std::to_string(address.line);
  }
  return "set " + std::to_string(static_cast<int>(address.set)) + " part " + Hex(address.part);
}

std::string StreamLines(std::size_t stream, const std::vector<std::uint8_t>& bytes) {
  std::string text;
  std::string words;
  std::size_t first = 0;
  std::size_t count = 0;
  const auto flush = [&](std::size_t next) {
    if (count > 0) text += WithComment("  " + words, "byte " + std::to_string(first));
    words.clear();
    count = 0;
    first = next;
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const bool square = IsSquare(stream);
    // A note-properties byte starts a phrase, so it starts a line.
    const bool phrase = square && Classify(bytes[i]) == ByteKind::Property;
    if (count == (square ? kSquareWordsPerLine : kHexWordsPerLine) || (phrase && count > 0)) flush(i);
    words += (count > 0 ? " " : "") + (square ? SquareToken(bytes[i]) : HexToken(bytes[i]));
    ++count;
  }
  flush(bytes.size());
  return text;
}

// The words of a text with their places; comments dropped.
struct Word {
  std::string_view text;
  TextSpot spot;
  TextSpot end;  // just after it
};

std::vector<Word> SplitWords(std::string_view text, TextSpot& endOfText) {
  std::vector<Word> words;
  int line = 1;
  std::size_t lineStart = 0;
  std::size_t i = 0;
  endOfText = {1, 1};
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      lineStart = ++i;
      continue;
    }
    if (isBlank(c)) {
      ++i;
      continue;
    }
    if (c == kComment) {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && !isBlank(text[i]) && text[i] != '\n' && text[i] != kComment) ++i;
    const TextSpot spot{line, static_cast<int>(start - lineStart) + 1};
    const TextSpot end{line, static_cast<int>(i - lineStart) + 1};
    words.push_back({text.substr(start, i - start), spot, end});
    endOfText = end;
  }
  return words;
}

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Quoted(std::string_view word) { return "\"" + std::string(word) + "\""; }

std::string SectionList() {
  std::string list = "header";
  for (const std::string_view word : kSectionWords) list += ", " + std::string(word);
  return list;
}

std::optional<std::int32_t> ParseDecimal(std::string_view word) {
  if (word.empty() || word.size() > 6) return std::nullopt;
  std::int32_t value = 0;
  for (const char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<std::int32_t> ParsePartNumberWord(std::string_view word) {
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) word.remove_prefix(2);
  if (word.empty() || word.size() > 2) return std::nullopt;
  const auto value = ParseHexToken(word);
  if (!value) return std::nullopt;
  return *value;
}

class Reader {
 public:
  explicit Reader(std::string_view text) { words_ = SplitWords(text, endOfText_); }

  std::variant<PartText, TextError> Read() {
    for (next_ = 0; next_ < words_.size() && !error_;) Step(words_[next_++]);
    if (error_) return *error_;
    CloseSection();
    if (!addressSeen_) {
      return TextError{endOfText_, "the text names no part: it needs \"song 01 line 2\" or \"set 1 part 0\""};
    }
    if (!headerSeen_) return TextError{endOfText_, "the text has no \"header\" section"};
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      if (!streamSeen_[k]) return TextError{endOfText_, "the text has no " + Quoted(kSectionWords[k]) + " section"};
    }
    if (part_.header.size() != kPartHeaderSize) {
      return TextError{headerEnd_, "the header has " + std::to_string(part_.header.size()) +
                                       " bytes here; it needs all 7"};
    }
    return part_;
  }

 private:
  enum class Section : std::uint8_t { None, Header, Stream };

  void Fail(TextSpot spot, std::string message) {
    if (!error_) error_ = TextError{spot, std::move(message)};
  }

  void CloseSection() {
    if (section_ == Section::Stream) part_.streamEnd[stream_] = lastEnd_;
    if (section_ == Section::Header) headerEnd_ = lastEnd_;
    section_ = Section::None;
  }

  const Word* Following(const Word& after, std::string_view expected) {
    if (next_ >= words_.size()) {
      Fail(after.end, Quoted(after.text) + " needs " + std::string(expected) + " after it");
      return nullptr;
    }
    return &words_[next_++];
  }

  void ReadAddress(const Word& word, bool songForm) {
    if (addressSeen_) {
      Fail(word.spot, "the part is named twice (first on line " + std::to_string(part_.addressSpot.line) + ")");
      return;
    }
    CloseSection();
    addressSeen_ = true;
    part_.addressSpot = word.spot;
    const Word* number = Following(word, songForm ? "a song (01 to 0E, 0F, 10, 20, ... B0)" : "a set (1 or 2)");
    if (!number) return;
    const Word* keyword = Following(*number, songForm ? "\"line\"" : "\"part\"");
    if (!keyword) return;
    if (Lowered(keyword->text) != (songForm ? "line" : "part")) {
      Fail(keyword->spot, Quoted(keyword->text) + " stands where " + (songForm ? "\"line\"" : "\"part\"") + " belongs");
      return;
    }
    const Word* value = Following(*keyword, songForm ? "a line number" : "a part number");
    if (!value) return;
    PartAddress& address = part_.address;
    if (songForm) {
      address.form = PartAddress::Form::SongLine;
      const auto song = FindSong(number->text);
      const auto line = ParseDecimal(value->text);
      if (!song) return Fail(number->spot, "the song list has no song " + Quoted(number->text));
      if (!line || *line < 1) return Fail(value->spot, Quoted(value->text) + " is no line number (1 for the top line)");
      address.song = *song;
      address.line = *line;
    } else {
      address.form = PartAddress::Form::SetPart;
      const auto part = ParsePartNumberWord(value->text);
      if (number->text != "1" && number->text != "2") {
        return Fail(number->spot, Quoted(number->text) + " is no song set (1 or 2)");
      }
      if (!part) return Fail(value->spot, Quoted(value->text) + " is no part number (hexadecimal, 0 to FF)");
      address.set = number->text == "1" ? SongSet::One : SongSet::Two;
      address.part = *part;
    }
    lastEnd_ = value->end;
  }

  void OpenSection(const Word& word, Section section, std::size_t stream) {
    bool& seen = section == Section::Header ? headerSeen_ : streamSeen_[stream];
    if (seen) {
      Fail(word.spot, "a second " + Quoted(word.text) + " section");
      return;
    }
    CloseSection();
    seen = true;
    section_ = section;
    stream_ = stream;
    lastEnd_ = word.end;
  }

  void ReadByte(const Word& word) {
    switch (section_) {
      case Section::None:
        Fail(word.spot, Quoted(word.text) + " stands outside every section (" + SectionList() + ")");
        return;
      case Section::Header: {
        const auto value = ParseHexToken(word.text);
        if (!value) {
          return Fail(word.spot, "unknown word " + Quoted(word.text) + ": header bytes are hexadecimal (00 to FF)");
        }
        if (part_.header.size() == kPartHeaderSize) return Fail(word.spot, "the header has 7 bytes; this is an eighth");
        part_.header.push_back({*value, word.spot});
        break;
      }
      case Section::Stream: {
        const std::string name(kChannelNames[stream_]);
        const bool square = IsSquare(stream_);
        const auto value = square ? ParseSquareToken(word.text) : ParseHexToken(word.text);
        if (!value) {
          if (const auto why = square ? WhyNoNote(word.text) : std::nullopt) return Fail(word.spot, *why);
          return Fail(word.spot, "unknown word " + Quoted(word.text) + ": " + name +
                                     (square ? " takes notes (C2+ to D7+), rest, end, note properties (i8:1) "
                                               "or 0x and a hexadecimal byte"
                                             : " takes hexadecimal bytes (00 to FF)"));
        }
        part_.streams[stream_].push_back({*value, word.spot});
        break;
      }
    }
    lastEnd_ = word.end;
  }

  void Step(const Word& word) {
    const std::string lowered = Lowered(word.text);
    if (lowered == "song" || lowered == "set") return ReadAddress(word, lowered == "song");
    if (lowered == "header") return OpenSection(word, Section::Header, 0);
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      if (lowered == kSectionWords[k]) return OpenSection(word, Section::Stream, k);
    }
    ReadByte(word);
  }

  std::vector<Word> words_;
  TextSpot endOfText_;
  std::size_t next_ = 0;
  std::optional<TextError> error_;
  PartText part_;
  Section section_ = Section::None;
  std::size_t stream_ = 0;
  TextSpot lastEnd_{1, 1};
  TextSpot headerEnd_{1, 1};
  bool addressSeen_ = false;
  bool headerSeen_ = false;
  std::array<bool, kStreamCount> streamSeen_{};
};

}  // namespace

std::variant<PartText, TextError> ParsePartText(std::string_view text) { return Reader(text).Read(); }

std::string FormatPartText(const PartForText& part) {
  std::string text(kPreamble);
  text += '\n' + WithComment(AddressWords(part.address), part.about) + '\n';

  const PartHeader& h = part.header;
  std::string headerWords = "header";
  for (const std::uint8_t b : h) headerWords += " " + HexToken(b);
  text += WithComment(headerWords, "only the tempo may change");
  text += "; Tempo " + HexByte(h[0]) + ", Part Address " + Hex(h[1] | h[2] << 8) + ", Square2 offset " +
          HexByte(h[3]) + ", Triangle offset " + HexByte(h[4]) + ",\n; Noise offset " + HexByte(h[5]) +
          ", DMC offset " + HexByte(h[6]) + "\n";

  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const std::size_t length = part.streams[k].size();
    std::string about = std::to_string(length) + (length == 1 ? " byte" : " bytes") + " at " + Offset(part.position[k]);
    if (k == kStreamCount - 1 && h[6] == 0) about += ", the part's first byte (DMC offset 00)";
    text += '\n' + WithComment(std::string(kSectionWords[k]), about) + StreamLines(k, part.streams[k]);
  }
  return text;
}

}  // namespace kestrin::rom_tool
