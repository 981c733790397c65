// Parts as text and back: one word per byte, export then import unchanged
// on random made-up images, and texts refused with their line and column.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "byte_tokens.h"
#include "cli_run.h"
#include "model_test_support.h"
#include "part_import.h"
#include "part_text_words.h"
#include "rom_builder.h"
#include "song_list.h"

namespace kestrin::rom_tool {
namespace {

using demo::RomBuilder;
using testing::FoundWord;
using testing::Replaced;
using testing::SectionWords;
using Bytes = std::vector<std::uint8_t>;

std::string Export(const std::string& rom, const std::vector<std::string>& address) {
  std::vector<std::string> args{"export", rom};
  args.insert(args.end(), address.begin(), address.end());
  const CliRun run = Cli(args);
  EXPECT_EQ(run.code, 0) << run.err;
  return run.out;
}

TEST(ByteWords, EveryByteHasOneWordThatReadsBack) {
  const std::pair<std::uint8_t, const char*> named[] = {
      {0x30, "C4"},      {0x31, "C4+"},     {0x02, "C#2"},      {0x01, "C2+"},    {0x7C, "D7"},
      {0x7D, "D7+"},     {0x18, "C3"},      {0x7E, "rest"},     {0x00, "end"},    {0x84, "i8:1"},
      {0xA2, "iA:0.5"},  {0xFC, "iF:8"},    {0xC8, "iC:2"},     {0xA0, "iA:<0.25"}, {0x83, "i8:0.75?"},
      {0xBB, "iB:>4"},   {0x8D, "i8:c13"},  {0x7F, "0x7F"},     {0x80, "0x80"},
  };
  for (const auto& [byte, word] : named) EXPECT_EQ(SquareToken(byte), word) << int{byte};
  std::set<std::string> words;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    words.insert(SquareToken(byte));
    EXPECT_EQ(ParseSquareToken(SquareToken(byte)), byte) << SquareToken(byte);
    EXPECT_EQ(ParseHexToken(HexToken(byte)), byte);
  }
  EXPECT_EQ(words.size(), 256u);
  // Forgiving where nothing is lost; strict where a byte would be guessed.
  for (const auto& [word, byte] : {std::pair{"c#4", 0x32}, std::pair{"I8:0.75", 0x83}, std::pair{"ia:c0", 0xA0},
                                   std::pair{"0x5", 0x05}, std::pair{"i8:<0.25", 0x80}}) {
    EXPECT_EQ(ParseSquareToken(word), byte) << word;
  }
  for (const char* word : {"C2", "D#7", "C8", "Db4", "E#4", "i7:1", "i8:9", "0x100", "x30", "30"}) {
    EXPECT_EQ(ParseSquareToken(word), std::nullopt) << word;
  }
}

// Images the ROM builder makes from random parts: all kinds of bytes, zero
// bytes inside streams 2 to 4, parts shared by several part numbers, parts
// of Square 1 alone whose DMC byte is Square 1's first byte, and songs over
// random runs of part numbers.
RomBuilder RandomRom(std::mt19937& rng) {
  RomBuilder rom;
  const auto anyByte = [&] { return static_cast<std::uint8_t>(rng() % 256); };
  const auto nonZero = [&] { return static_cast<std::uint8_t>(1 + rng() % 255); };
  const auto bytes = [&](std::size_t most, auto make) {
    Bytes out(rng() % (most + 1));
    for (auto& b : out) b = make();
    return out;
  };
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    const int parts = 1 + static_cast<int>(rng() % 6);
    for (int p = 0; p < parts; ++p) {
      demo::PartStreams streams;
      streams.tempo = anyByte();
      streams.square1 = bytes(30, nonZero);
      streams.square1.push_back(0);
      streams.square2 = bytes(30, anyByte);
      streams.stream3 = bytes(20, anyByte);
      streams.stream4 = bytes(20, anyByte);
      streams.dmc = bytes(4, nonZero);
      streams.dmc.push_back(0);
      const int number = rom.AddPart(set, streams);
      if (rng() % 5 == 0) rom.Poke(rom.HeaderPosition(set, number) + 3, Bytes{0, 0, 0, 0});
      if (rng() % 4 == 0) rom.SharePart(set, number);
    }
  }
  for (const SongListItem& song : kSongList) {
    const int count = rom.PartCount(song.set);
    const int first = static_cast<int>(rng() % static_cast<unsigned>(count));
    const int last = first + static_cast<int>(rng() % static_cast<unsigned>(std::min(4, count - first)));
    rom.SetSong(song.set, song.tableIndex, first, last, first);
  }
  return rom;
}

TEST(PartText, ExportThenImportUnchangedGivesTheSameImageForEverySongAndLine) {
  testing_support::TempFolder folder;
  std::mt19937 rng(20240619);
  int parts = 0;
  for (int image = 0; image < 6; ++image) {
    const RomBuilder rom = RandomRom(rng);
    const std::string path = folder / "random.nes";
    ASSERT_TRUE(rom.WriteTo(path));
    for (const SongListItem& song : kSongList) {
      const std::string code(song.text.substr(0, 2));
      const int first = rom.Peek(LayoutOf(song.set).songTableBase + song.tableIndex);
      const int last = rom.Peek(LayoutOf(song.set).songTableBase + 15 + song.tableIndex);
      for (int line = 1; line <= last - first + 1; ++line) {
        SCOPED_TRACE("image " + std::to_string(image) + ", song " + code + ", line " + std::to_string(line));
        const std::string text = Export(path, {"--song", code, "--line", std::to_string(line)});
        Bytes imported = rom.Image();
        const ImportResult result = ImportPartText(imported, text);
        ASSERT_EQ(result.outcome, ImportResult::Outcome::Stored) << result.error.message;
        EXPECT_EQ(result.changedBytes, 0u);
        EXPECT_TRUE(imported == rom.Image());
        ++parts;
      }
    }
  }
  EXPECT_GT(parts, 150);
}

// The text of song 01, line 2 of the demo ROM, and a DMC-offset-0 part
// whose DMC byte is its Square 1's first byte.
class PartTextRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    demoPath_ = folder_ / "demo.nes";
    ASSERT_TRUE(demo::BuildDemoRom().WriteTo(demoPath_));
    text_ = Export(demoPath_, {"--song", "01", "--line", "2"});
    RomBuilder shared;
    demo::PartStreams part;
    part.square1 = {0x84, 0x30, 0x00};
    shared.Poke(shared.HeaderPosition(SongSet::One, shared.AddPart(SongSet::One, part)) + 3, Bytes{0, 0, 0, 0});
    sharedImage_ = shared.Image();
    sharedPath_ = folder_ / "shared.nes";
    ASSERT_TRUE(shared.WriteTo(sharedPath_));
  }

  static FoundWord Word(const std::string& text, const std::string& section, int index) {
    const auto words = SectionWords(text, section);
    return words.at(index < 0 ? words.size() - static_cast<std::size_t>(-index) : static_cast<std::size_t>(index));
  }

  testing_support::TempFolder folder_;
  std::string demoPath_;
  std::string text_;
  std::string sharedPath_;
  Bytes sharedImage_;
};

TEST_F(PartTextRefusals, NameTheLineAndColumnAndChangeNothing) {
  struct Case {
    const char* what;
    std::function<std::string(const std::string&)> change;
    // Where the refusal points, found in the changed text: a word, or just
    // after one (a missing word is missed there).
    std::function<FoundWord(const std::string&)> where;
    bool afterWord;
    const char* words;
  };
  const auto at = [](const char* section, int index) {
    return [=](const std::string& text) { return Word(text, section, index); };
  };
  const auto set = [](const char* section, int index, const char* word) {
    return [=](const std::string& text) { return Replaced(text, Word(text, section, index), word); };
  };
  const Case cases[] = {
      {"unknown word", set("square1", 3, "Cb4"), at("square1", 3), false, "unknown word \"Cb4\""},
      {"below the lowest note", set("square1", 3, "C2"), at("square1", 3), false, "\"C2\" is no note"},
      {"unknown hex byte", set("triangle", 1, "G0"), at("triangle", 1), false, "unknown word \"G0\""},
      {"a word added", set("square1", 5, "C4 C4"), at("square1", 41), false, "Square 1 has 41 bytes"},
      {"a word removed", set("square1", 5, ""), at("square1", -1), true, "the text gives 40"},
      {"an end byte early", set("square1", 2, "end"), at("square1", 2), false, "would become 00"},
      {"the end byte replaced", set("square1", -1, "C4"), at("square1", -1), false, "must stay end"},
      {"a zero in the DMC replaced", set("dmc", 0, "01"), at("dmc", 0), false, "must stay 00"},
      {"a channel offset changed", set("header", 3, "40"), at("header", 3), false, "only the tempo may change"},
      {"a section twice", [](const std::string& t) { return t + "noise\n"; },
       [](const std::string& t) { return FoundWord{0, 0, static_cast<int>(std::count(t.begin(), t.end(), '\n')), 1}; },
       false, "a second \"noise\" section"},
      {"a section missing", [](const std::string& t) { return t.substr(0, t.find("\ndmc")); }, at("noise", -1), true,
       "no \"dmc\" section"},
      {"a song the list lacks", set("song", 0, "11"), at("song", 0), false, "no song \"11\""},
      {"a line the list lacks", set("song", 2, "9"), [](const std::string&) { return FoundWord{0, 0, 9, 1}; }, false,
       "song 01 has no line 9"},
      {"a word outside every section", set("song", 2, "2 C4"), at("song", 3), false, "outside every section"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = c.change(text_);
    Bytes image = demo::BuildDemoRom().Image();
    const ImportResult result = ImportPartText(image, text);
    EXPECT_EQ(result.outcome, ImportResult::Outcome::Refused);
    EXPECT_NE(result.error.message.find(c.words), std::string::npos) << result.error.message;
    const FoundWord word = c.where(text);
    EXPECT_EQ(result.error.spot.line, word.line) << result.error.message;
    EXPECT_EQ(result.error.spot.column, word.column + (c.afterWord ? static_cast<int>(word.length) : 0))
        << result.error.message;
    EXPECT_TRUE(image == demo::BuildDemoRom().Image());
  }
}

TEST_F(PartTextRefusals, StreamsSharingAByteMustAgreeAsInTheWriteBack) {
  const std::string text = Export(sharedPath_, {"--song", "01", "--line", "1"});
  ASSERT_EQ(SectionWords(text, "square1").at(0).length, 4u);  // i8:1, also the DMC byte 84

  // Two different values for the one byte: refused where the second stands.
  std::string both = Replaced(text, Word(text, "dmc", 0), "85");
  both = Replaced(both, Word(both, "square1", 0), "i8:2");
  Bytes image = sharedImage_;
  const ImportResult refused = ImportPartText(image, both);
  EXPECT_EQ(refused.outcome, ImportResult::Outcome::Refused);
  EXPECT_EQ(refused.error.spot.line, Word(both, "dmc", 0).line);
  EXPECT_NE(refused.error.message.find("must agree"), std::string::npos) << refused.error.message;
  EXPECT_TRUE(image == sharedImage_);

  // One of them changed: the changed one wins, as an edit in the window does.
  const ImportResult stored = ImportPartText(image, Replaced(text, Word(text, "square1", 0), "i8:2"));
  ASSERT_EQ(stored.outcome, ImportResult::Outcome::Stored) << stored.error.message;
  EXPECT_EQ(stored.changedBytes, 1u);
  const std::int32_t start = 0x38010;  // the only part lies at the bank's start
  EXPECT_EQ(image[static_cast<std::size_t>(start)], 0x88);  // Instr. 8, length item "2" (code 8)
}

TEST_F(PartTextRefusals, TheCommandLineWritesOnlyWhatItStored) {
  const std::string textPath = folder_ / "part.txt";
  const std::string out = folder_ / "out.nes";
  const FoundWord note = Word(text_, "square1", 2);  // A4 in the demo's song 01, line 2

  testing_support::WriteFile(textPath, Bytes(text_.begin(), text_.end()));
  EXPECT_EQ(Cli({"import", demoPath_, textPath, "-o", demoPath_}).code, 4);

  const std::string refusedText = Replaced(text_, note, "H4");
  testing_support::WriteFile(textPath, Bytes(refusedText.begin(), refusedText.end()));
  const auto [refusedCode, refusedOut, refusedErr] = Cli({"import", demoPath_, textPath, "-o", out});
  EXPECT_EQ(refusedCode, 2);
  EXPECT_EQ(refusedErr.rfind("kestrin-rom: " + textPath + ":" + std::to_string(note.line) + ":" +
                                 std::to_string(note.column) + ": unknown word \"H4\"", 0), 0u) << refusedErr;
  EXPECT_FALSE(std::filesystem::exists(out));

  const std::string editedText = Replaced(text_, note, "C5");
  testing_support::WriteFile(textPath, Bytes(editedText.begin(), editedText.end()));
  const auto [code, stdOut, stdErr] = Cli({"import", demoPath_, textPath, "-o", out});
  ASSERT_EQ(code, 0) << stdErr;
  EXPECT_NE(stdOut.find("Square 1 byte 2: A4 \u2192 C5\n"), std::string::npos) << stdOut;
  EXPECT_NE(stdOut.find("song 01, line 2 (entry E, part 1): 1 byte changed, written to " + out), std::string::npos);
  const Bytes written = testing_support::ReadFile(out);
  Bytes expected = demo::BuildDemoRom().Image();
  ASSERT_EQ(written.size(), expected.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < written.size(); ++i) differing += written[i] != expected[i];
  EXPECT_EQ(differing, 1u);
  EXPECT_TRUE(testing_support::ReadFile(demoPath_) == expected);  // the input stays as it was
}

}  // namespace
}  // namespace kestrin::rom_tool
